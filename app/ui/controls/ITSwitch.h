#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPointer>
#include <QRectF>

class QPropertyAnimation;

// An on/off switch: a capsule track with a round knob that slides right when on.
// The user's changes (click, drag, Space, Left/Right, the accessible press)
// emit clicked(); setChecked() from code never does. Always focusable.
//
//   auto *autoSpeak = new ITSwitch(pane);
//   autoSpeak->setChecked(settings.autoSpeak());
//   connect(autoSpeak, &ITSwitch::clicked, pane, &Pane::onAutoSpeek);
//   highlight->bindToDefaultsKey("kHighlightTranslatedSentences"); // state follows the user default
class ITSwitch : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QRectF knobRect READ knobRect WRITE setKnobRect)
public:
    explicit ITSwitch(QWidget *parent = nullptr);

    // Unset: green (0.27, 0.86, 0.36) and the palette's text colour at low alpha.
    QColor tintColor() const;
    void setTintColor(const QColor &color);
    QColor disabledBorderColor() const;
    void setDisabledBorderColor(const QColor &color);

    // Writes every change of state to QVMUtils::sharedDefaults() under key and
    // takes the stored value now (absent is off).
    void bindToDefaultsKey(const QString &key);
    QString boundDefaultsKey() const { return m_boundKey; }

    bool isActive() const { return m_active; }
    bool hasDragged() const { return m_dragged; }
    bool isDraggingTowardsOn() const { return m_draggingTowardsOn; }

    // Where the knob is heading for the current state, in widget coordinates.
    QRectF rectForKnob() const;
    static qreal knobHeightForSize(const QSizeF &size) { return size.height() - 2.0; }
    // The knob as drawn now (moves during the animation).
    QRectF knobRect() const { return m_knob; }
    void setKnobRect(const QRectF &rect);
    bool isAnimating() const;

    QSize sizeHint() const override;
    // The accessible press: toggles and sends the action, as a click would.
    void performPress();

    static constexpr int kAnimationMs = 400;
    static constexpr qreal kRestRatio = 1.6180340051651;
    static constexpr qreal kPressedRatio = 1.38;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void reloadLayer();
    void reloadLayerSize();
    void userSetChecked(bool on);
    bool showsOnLook() const;

    QColor m_tint;
    QColor m_disabledBorder;
    QString m_boundKey;
    QRectF m_knob;
    QPointer<QPropertyAnimation> m_animation;
    bool m_active = false;
    bool m_dragged = false;
    bool m_draggingTowardsOn = false;
};
