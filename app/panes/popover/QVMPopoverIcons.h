#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

// The tray's and the popover's pictures, drawn in code so that they take the
// colour of the live palette: "statusbar-icon", "Pin", "PinFilled", "stop",
// "volume-high", "clear" and "main-window". An unknown name gives a null image.
//
//   button->setIcon(QVMPopoverIcons::icon("PinFilled", palette().color(QPalette::ButtonText)));
class QVMPopoverIcons {
public:
    static QImage image(const QString &name, int size, const QColor &color);
    static QIcon icon(const QString &name, const QColor &color);
    static bool hasImage(const QString &name);

    static constexpr const char *kStatusBarIcon = "statusbar-icon";
    static constexpr const char *kPin = "Pin";
    static constexpr const char *kPinFilled = "PinFilled";
    static constexpr const char *kStop = "stop";
    static constexpr const char *kVolumeHigh = "volume-high";
    static constexpr const char *kClear = "clear";
    static constexpr const char *kMainWindow = "main-window";

    QVMPopoverIcons() = delete;
};
