#include "ui/controls/QVMProgressOverlay.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal kIndicatorSide = 37;
constexpr QSizeF kBarSize(120, 10);
constexpr qreal kLabelSpacing = 4;
constexpr qreal kCornerRadius = 10;
constexpr int kSpokes = 12;

} // namespace

QVMProgressOverlay::QVMProgressOverlay(QWidget *view) : QWidget(view), m_spinnerTimer(new QTimer(this)) {
    setAttribute(Qt::WA_NoSystemBackground);
    m_labelFont = font();
    m_labelFont.setBold(true);
    m_labelFont.setPointSizeF(std::max<qreal>(m_labelFont.pointSizeF(), 12));
    m_color = QColor(0, 0, 0, 204);
    m_spinnerTimer->setInterval(80);
    connect(m_spinnerTimer, &QTimer::timeout, this, [this] {
        m_spinnerStep = (m_spinnerStep + 1) % kSpokes;
        update();
    });
    if (view) {
        setGeometry(view->rect());
        view->installEventFilter(this);
    }
}

QVMProgressOverlay *QVMProgressOverlay::HUDForView(const QWidget *view) {
    if (!view)
        return nullptr;
    const auto overlays = view->findChildren<QVMProgressOverlay *>(Qt::FindDirectChildrenOnly);
    for (QVMProgressOverlay *overlay : overlays) {
        if (!overlay->property("qvmHiding").toBool())
            return overlay;
    }
    return nullptr;
}

QVMProgressOverlay *QVMProgressOverlay::showHUDAddedTo(QWidget *view) {
    return attach(new QVMProgressOverlay(view));
}

QVMProgressOverlay *QVMProgressOverlay::attach(QVMProgressOverlay *overlay) {
    // Above the view's own children; the overlay takes the clicks meant for them.
    overlay->raise();
    overlay->show();
    return overlay;
}

bool QVMProgressOverlay::hideHUDForView(QWidget *view) {
    QVMProgressOverlay *overlay = HUDForView(view);
    if (!overlay)
        return false;
    overlay->setProperty("qvmHiding", true);
    overlay->hide();
    overlay->deleteLater();
    return true;
}

void QVMProgressOverlay::setMode(Mode mode) {
    m_mode = mode;
    updateSpinning();
    update();
}

void QVMProgressOverlay::updateSpinning() {
    // Only the busy spinner moves; a progress display changes when its value does.
    if (m_mode == Indeterminate && isVisible())
        m_spinnerTimer->start();
    else
        m_spinnerTimer->stop();
}

void QVMProgressOverlay::setLabelText(const QString &text) {
    m_labelText = text;
    layoutOverlay();
    update();
}

void QVMProgressOverlay::setColor(const QColor &color) {
    m_color = color;
    update();
}

void QVMProgressOverlay::setMargin(qreal margin) {
    m_margin = margin;
    layoutOverlay();
    update();
}

void QVMProgressOverlay::setOffset(const QPointF &offset) {
    m_offset = offset;
    layoutOverlay();
    update();
}

void QVMProgressOverlay::setProgress(float progress) {
    m_progress = std::clamp(progress, 0.0f, 1.0f);
    update();
}

QSizeF QVMProgressOverlay::indicatorSize() const {
    return m_mode == DeterminateHorizontalBar ? kBarSize : QSizeF(kIndicatorSide, kIndicatorSide);
}

QRectF QVMProgressOverlay::bezelRect() const {
    const QSizeF indicator = indicatorSize();
    const QFontMetricsF metrics(m_labelFont);
    const qreal labelWidth = m_labelText.isEmpty() ? 0 : metrics.horizontalAdvance(m_labelText);
    const qreal labelHeight = m_labelText.isEmpty() ? 0 : metrics.height() + kLabelSpacing;
    const qreal contentWidth = std::max(indicator.width(), labelWidth);
    const qreal contentHeight = indicator.height() + labelHeight;
    // Never narrower than tall, so a short label still gets a square bezel.
    const QSizeF bezel(std::max(contentWidth, contentHeight) + 2 * m_margin, contentHeight + 2 * m_margin);
    const QPointF centre = QRectF(rect()).center() + m_offset;
    return QRectF(centre.x() - bezel.width() / 2, centre.y() - bezel.height() / 2, bezel.width(),
                  bezel.height());
}

void QVMProgressOverlay::addOwner(QObject *owner) {
    for (const QPointer<QObject> &held : std::as_const(m_owners)) {
        if (held == owner)
            return;
    }
    m_owners.append(owner);
    connect(owner, &QObject::destroyed, this, &QVMProgressOverlay::ownerDestroyed, Qt::UniqueConnection);
}

bool QVMProgressOverlay::removeOwner(QObject *owner) {
    const qsizetype before = m_owners.size();
    m_owners.removeIf([owner](const QPointer<QObject> &held) { return !held || held == owner; });
    disconnect(owner, &QObject::destroyed, this, &QVMProgressOverlay::ownerDestroyed);
    return m_owners.size() < before;
}

bool QVMProgressOverlay::hasOwners() const {
    return std::any_of(m_owners.begin(), m_owners.end(),
                       [](const QPointer<QObject> &held) { return !held.isNull(); });
}

void QVMProgressOverlay::ownerDestroyed(QObject *owner) {
    Q_UNUSED(owner)
    m_owners.removeIf([](const QPointer<QObject> &held) { return held.isNull(); });
    // A task that went away without hiding must not leave the view covered for ever.
    if (!hasOwners() && !property("qvmHiding").toBool()) {
        setProperty("qvmHiding", true);
        hide();
        deleteLater();
    }
}

bool QVMProgressOverlay::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void QVMProgressOverlay::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutOverlay();
}

void QVMProgressOverlay::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    updateSpinning();
}

void QVMProgressOverlay::hideEvent(QHideEvent *event) {
    m_spinnerTimer->stop();
    QWidget::hideEvent(event);
}

void QVMProgressOverlay::paintEvent(QPaintEvent *event) {
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bezel = bezelRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawRoundedRect(bezel, kCornerRadius, kCornerRadius);

    const QSizeF indicator = indicatorSize();
    const QFontMetricsF metrics(m_labelFont);
    const qreal labelHeight = m_labelText.isEmpty() ? 0 : metrics.height() + kLabelSpacing;
    const qreal top = bezel.center().y() - (indicator.height() + labelHeight) / 2;
    const QRectF indicatorRect(bezel.center().x() - indicator.width() / 2, top, indicator.width(),
                               indicator.height());

    if (m_mode == DeterminateHorizontalBar) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(indicatorRect, indicator.height() / 2, indicator.height() / 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        QRectF filled = indicatorRect.adjusted(2, 2, -2, -2);
        filled.setWidth(filled.width() * m_progress);
        painter.drawRoundedRect(filled, filled.height() / 2, filled.height() / 2);
    } else if (m_mode == Determinate) {
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(indicatorRect.adjusted(1, 1, -1, -1));
        painter.setBrush(Qt::white);
        painter.drawPie(indicatorRect.adjusted(4, 4, -4, -4), 90 * 16, -int(m_progress * 360 * 16));
    } else {
        const QPointF centre = indicatorRect.center();
        const qreal outer = indicator.width() / 2;
        for (int i = 0; i < kSpokes; ++i) {
            const int age = (kSpokes + m_spinnerStep - i) % kSpokes;
            QColor spoke(Qt::white);
            spoke.setAlphaF(float(1.0 - age / qreal(kSpokes)));
            painter.setPen(QPen(spoke, 3, Qt::SolidLine, Qt::RoundCap));
            const qreal angle = 2 * M_PI * i / kSpokes;
            const QPointF direction(std::sin(angle), -std::cos(angle));
            painter.drawLine(centre + direction * outer * 0.45, centre + direction * outer * 0.9);
        }
    }

    if (!m_labelText.isEmpty()) {
        painter.setPen(Qt::white);
        painter.setFont(m_labelFont);
        const QRectF labelRect(bezel.left(), indicatorRect.bottom() + kLabelSpacing, bezel.width(),
                               metrics.height());
        painter.drawText(labelRect, Qt::AlignHCenter | Qt::AlignTop, m_labelText);
    }
}
