#pragma once

#include <QColor>
#include <QCursor>
#include <QPushButton>

#include <optional>

// A flat push button with its own background, text colour and rounded
// corners: the tab buttons of the side panel and the settings window.
//
//   auto *tab = new CustomButton(tr("History"));
//   tab->setBGColor(QVMColor::panelBackgroundDarkColor());
//   tab->setTextColor(palette().color(QPalette::Text));
//   tab->setCornerRadius(6);
//   tab->setCursor(Qt::PointingHandCursor);
//
// Every setter repaints the button, so callers need not ask for it.
class CustomButton : public QPushButton {
    Q_OBJECT
public:
    explicit CustomButton(QWidget *parent = nullptr);
    explicit CustomButton(const QString &text, QWidget *parent = nullptr);

    // Unset: the style draws the button's usual background.
    std::optional<QColor> BGColor() const { return m_bgColor; }
    void setBGColor(const QColor &color);
    void setBGColor(const QBrush &brush);
    QBrush BGBrush() const { return m_bgBrush; }
    void clearBGColor();

    std::optional<QColor> TextColor() const { return m_textColor; }
    void setTextColor(const QColor &color);

    double CornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<QColor> m_bgColor;
    QBrush m_bgBrush;
    std::optional<QColor> m_textColor;
    double m_cornerRadius = 0.0;
};
