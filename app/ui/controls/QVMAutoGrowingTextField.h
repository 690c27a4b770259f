#pragma once

#include <QTextEdit>

// A text field whose height follows its wrapped text at its current width.
// Without wrapping it asks for the plain text field's size, whatever its text.
class QVMAutoGrowingTextField : public QTextEdit {
    Q_OBJECT
public:
    explicit QVMAutoGrowingTextField(QWidget *parent = nullptr);

    bool wraps() const { return lineWrapMode() != QTextEdit::NoWrap; }
    void setWraps(bool wraps);

    QSize intrinsicContentSize() const;
    QSize sizeHint() const override { return intrinsicContentSize(); }
};
