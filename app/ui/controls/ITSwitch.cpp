#include "ITSwitch.h"

#include "ITSwitchAccessible.h"

#include "ui/foundation/QVMUtils.h"

#include "platform/UserDefaults.h"

#include <QEasingCurve>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// Overshoots a little and settles, so the knob snaps into place.
QEasingCurve overshootCurve() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.25, 1.5), QPointF(0.5, 1.0), QPointF(1.0, 1.0));
    return curve;
}

} // namespace

ITSwitch::ITSwitch(QWidget *parent) : QAbstractButton(parent) {
    ITSwitchAccessible::installFactory();
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(sizeHint());
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        if (!m_boundKey.isEmpty())
            QVMUtils::sharedDefaults().setBool(on, m_boundKey);
        reloadLayer();
    });
    reloadLayerSize();
}

QSize ITSwitch::sizeHint() const {
    return {40, 22};
}

QColor ITSwitch::tintColor() const {
    return m_tint.isValid() ? m_tint : QColor::fromRgbF(0.27f, 0.86f, 0.36f, 1.0f);
}

void ITSwitch::setTintColor(const QColor &color) {
    m_tint = color;
    reloadLayer();
}

QColor ITSwitch::disabledBorderColor() const {
    if (m_disabledBorder.isValid())
        return m_disabledBorder;
    // The track must stay visible on a dark window too.
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.45f);
    return border;
}

void ITSwitch::setDisabledBorderColor(const QColor &color) {
    m_disabledBorder = color;
    reloadLayer();
}

void ITSwitch::bindToDefaultsKey(const QString &key) {
    m_boundKey = key;
    const QSignalBlocker quiet(this);
    setChecked(QVMUtils::sharedDefaults().boolForKey(key));
    reloadLayer();
}

bool ITSwitch::showsOnLook() const {
    return m_dragged ? m_draggingTowardsOn : isChecked();
}

QRectF ITSwitch::rectForKnob() const {
    const qreal w = width();
    const qreal knobWidth = (w - 2.0) / (m_active ? kPressedRatio : kRestRatio);
    const bool left = m_dragged ? !m_draggingTowardsOn : !isChecked();
    const qreal x = left ? 1.0 : w - knobWidth - 1.0;
    return {x, 1.0, knobWidth, knobHeightForSize(size())};
}

void ITSwitch::setKnobRect(const QRectF &rect) {
    m_knob = rect;
    update();
}

bool ITSwitch::isAnimating() const {
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

// The state look, animated: the overshoot at rest, a plain ease while dragging.
void ITSwitch::reloadLayer() {
    const QRectF target = rectForKnob();
    if (m_animation)
        m_animation->stop();
    if (!isVisible() || target == m_knob) {
        setKnobRect(target);
        return;
    }
    auto *animation = new QPropertyAnimation(this, "knobRect", this);
    animation->setDuration(kAnimationMs);
    animation->setStartValue(m_knob);
    animation->setEndValue(target);
    animation->setEasingCurve(m_dragged ? QEasingCurve(QEasingCurve::InOutQuad) : overshootCurve());
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    update();
}

// The geometry, at once.
void ITSwitch::reloadLayerSize() {
    if (m_animation)
        m_animation->stop();
    setKnobRect(rectForKnob());
}

void ITSwitch::resizeEvent(QResizeEvent *event) {
    QAbstractButton::resizeEvent(event);
    reloadLayerSize();
}

void ITSwitch::changeEvent(QEvent *event) {
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange)
        update();
}

bool ITSwitch::hitButton(const QPoint &pos) const {
    return rect().contains(pos);
}

void ITSwitch::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.5);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = track.height() / 2.0;
    const bool on = showsOnLook();
    painter.setPen(QPen(on ? tintColor() : disabledBorderColor(), 1.0));
    painter.setBrush(on ? QBrush(tintColor()) : QBrush(Qt::NoBrush));
    painter.drawRoundedRect(track, radius, radius);

    const qreal knobRadius = m_knob.height() / 2.0;
    // The knob's shadow: 2 px down, soft.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 77));
    painter.drawRoundedRect(m_knob.translated(0, 1.0).adjusted(-0.5, -0.5, 0.5, 0.5), knobRadius, knobRadius);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(m_knob, knobRadius, knobRadius);
    painter.setPen(QPen(QColor(0, 0, 0, 60), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(m_knob.adjusted(0.5, 0.5, -0.5, -0.5), knobRadius, knobRadius);

    if (hasFocus()) {
        painter.setOpacity(1.0);
        QPen ring(palette().color(QPalette::Highlight), 2.0);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }
}

void ITSwitch::mousePressEvent(QMouseEvent *event) {
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_active = true;
    setDown(true);
    reloadLayer();
    event->accept();
}

void ITSwitch::mouseMoveEvent(QMouseEvent *event) {
    if (!isEnabled() || !m_active) {
        event->ignore();
        return;
    }
    const bool towardsOn = event->position().x() >= width() / 2.0;
    const bool changed = !m_dragged || towardsOn != m_draggingTowardsOn;
    m_dragged = true;
    m_draggingTowardsOn = towardsOn;
    if (changed)
        reloadLayer();
    event->accept();
}

void ITSwitch::mouseReleaseEvent(QMouseEvent *event) {
    if (!isEnabled() || !m_active || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_active = false;
    setDown(false);
    const bool next = m_dragged ? m_draggingTowardsOn : !isChecked();
    m_dragged = false;
    m_draggingTowardsOn = false;
    userSetChecked(next);
    reloadLayer();
    event->accept();
}

void ITSwitch::keyPressEvent(QKeyEvent *event) {
    if (event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        userSetChecked(event->key() == Qt::Key_Right);
        event->accept();
        return;
    }
    // Space and the rest as any button: Space releases into click().
    QAbstractButton::keyPressEvent(event);
}

void ITSwitch::performPress() {
    if (isEnabled())
        userSetChecked(!isChecked());
}

// A change the user made: the state, then the action, only when it differs.
void ITSwitch::userSetChecked(bool on) {
    if (on == isChecked())
        return;
    setChecked(on);
    emit clicked(on);
}
