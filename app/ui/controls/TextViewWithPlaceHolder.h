#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QTextEdit>

// A text view that draws a grey hint at (5, 0) while its text is empty, with
// or without the focus (the popover translator's two panels). The grey is the
// live palette's placeholder colour unless the hint brings a colour of its own.
//
//   view->setPlaceHolderString(QVLocalizedString("_loc_language_search"));
class TextViewWithPlaceHolder : public QTextEdit {
    Q_OBJECT
public:
    // The hint's text with the colour and font it is drawn in; an invalid colour follows the palette.
    struct Placeholder {
        QString text;
        QColor color;
        QFont font;
    };

    explicit TextViewWithPlaceHolder(QWidget *parent = nullptr);

    // The hint in the palette's placeholder grey and the view's font at this moment (a later font
    // change does not reach it).
    void setPlaceHolderString(const QString &text);
    // The hint as it is drawn now: its colour is the palette's when it brought none.
    Placeholder placeholder() const;
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
