#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QTextEdit>

// A text view that draws a grey hint at (5, 0) while its text is empty, with
// or without the focus (the popover translator's two panels).
//
//   view->setPlaceHolderString(QVLocalizedString("_loc_language_search"));
class TextViewWithPlaceHolder : public QTextEdit {
    Q_OBJECT
public:
    // The hint's text with the colour and font it is drawn in.
    struct Placeholder {
        QString text;
        QColor color;
        QFont font;
    };

    explicit TextViewWithPlaceHolder(QWidget *parent = nullptr);

    // The hint in the system grey and the view's font at this moment (a later font change does not reach it).
    void setPlaceHolderString(const QString &text);
    Placeholder placeholder() const { return m_placeholder; }
    void setPlaceholder(const Placeholder &placeholder);
    bool isShowingPlaceholder() const;

    static constexpr QPointF kPlaceholderOrigin{5.0, 0.0};

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    Placeholder m_placeholder;
};
