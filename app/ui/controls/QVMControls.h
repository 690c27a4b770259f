#pragma once

#include <QColor>
#include <QImage>

class QAbstractButton;
class QComboBox;

// Small looks of buttons and pop-up buttons that the interface shares.
class QVMControls {
public:
    // The button's title in the colour, in the system font of that size.
    static void attributedTitleWithColor(QAbstractButton *button, const QColor &color, qreal fontSize);
    // The pop-up button shows this picture alone, whatever item is selected.
    static void addImageItemWithImage(QComboBox *popUp, const QImage &image);
    // Only the selected item's title is red; every other item has its plain colour again.
    static void highlightSelectedItem(QComboBox *popUp);

    QVMControls() = delete;
};
