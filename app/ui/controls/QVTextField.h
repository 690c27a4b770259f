#pragma once

#include <QLineEdit>

class QTimer;

// A text field whose insertion point takes the field's text colour (the
// popover language list's search field on its dark or light background). The
// line edit's own insertion point inverts the background, so this field
// draws its own, blinking at the desktop's rate.
class QVTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit QVTextField(QWidget *parent = nullptr);

    QColor textColor() const;
    void setTextColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void restartBlinking();

    QTimer *m_blink;
    bool m_caretShown = false;
};
