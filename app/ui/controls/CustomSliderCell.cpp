#include "CustomSliderCell.h"

#include <QPainter>
#include <QSlider>
#include <QStyleFactory>
#include <QStyleOptionSlider>

CustomSliderCell::CustomSliderCell(QObject *parent)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {
    setParent(parent);
}

CustomSliderCell *CustomSliderCell::install(QSlider *slider) {
    auto *cell = new CustomSliderCell(slider);
    slider->setStyle(cell);
    return cell;
}

qreal CustomSliderCell::filledWidth(qreal controlWidth, double value, double minimum, double maximum) {
    if (maximum <= minimum)
        return 0.0;
    const double fraction = qBound(0.0, (value - minimum) / (maximum - minimum), 1.0);
    return qMax<qreal>(0.0, (controlWidth - kInset) * fraction);
}

QRectF CustomSliderCell::barRect(const QRectF &groove) {
    return {groove.x(), groove.center().y() - kBarHeight / 2.0, groove.width(), kBarHeight};
}

void CustomSliderCell::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                          QPainter *painter, const QWidget *widget) const {
    const auto *slider = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_Slider || !slider || slider->orientation != Qt::Horizontal) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QRectF groove = subControlRect(CC_Slider, option, SC_SliderGroove, widget);
    const QRectF bar = barRect(groove);
    const qreal controlWidth = widget ? widget->width() : 0.0;
    const qreal filled = qMin(
        bar.width(), filledWidth(controlWidth, slider->sliderPosition, slider->minimum, slider->maximum));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(m_empty.isValid() ? m_empty : option->palette.color(QPalette::Mid));
    painter->drawRoundedRect(bar, kRadius, kRadius);
    if (filled > 0.0) {
        painter->setBrush(m_filled.isValid() ? m_filled : option->palette.color(QPalette::Highlight));
        painter->drawRoundedRect(QRectF(bar.x(), bar.y(), filled, kBarHeight), kRadius, kRadius);
    }
    painter->restore();
    QStyleOptionSlider knobOnly(*slider);
    knobOnly.subControls = SC_SliderHandle;
    QProxyStyle::drawComplexControl(control, &knobOnly, painter, widget);
}
