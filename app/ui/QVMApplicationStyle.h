#pragma once

#include <QProxyStyle>

// The desktop's style, with the standard icons the main window asks for as it is built (the
// tool bar's and menu bar's overflow buttons, the search fields' clear button) drawn here in
// the text colour of the moment. The style's own go through the icon theme and probe every
// image plugin before the first frame.
class QVMApplicationStyle : public QProxyStyle {
public:
    // Wraps a new copy of the style named `baseStyleName` (the one Qt chose or the user asked for).
    explicit QVMApplicationStyle(const QString &baseStyleName);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

    // Makes this style the application's, wrapping the one in use.
    static void install();
};
