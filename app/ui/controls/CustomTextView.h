#pragma once

#include <QTextEdit>

// A text view whose preferred size is the size its laid-out text uses, asked
// again whenever the text changes.
class CustomTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit CustomTextView(QWidget *parent = nullptr);

    // The used width (the widest line) and the height of the laid-out text.
    QSize intrinsicContentSize() const;
    QSize sizeHint() const override { return intrinsicContentSize(); }

    static constexpr const char *kSizeLogFormat = "Custom text view size: %fx%f";
};
