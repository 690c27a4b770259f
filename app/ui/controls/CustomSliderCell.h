#pragma once

#include <QColor>
#include <QProxyStyle>
#include <QRectF>

class QSlider;

// The look of a horizontal slider: a thin rounded bar, filled up to the value,
// under the style's own knob. Install it on a slider (it becomes the slider's
// child and style):
//
//   CustomSliderCell::install(speedSlider)->setFilledBarColor(QVMColor::customPinkColor());
class CustomSliderCell : public QProxyStyle {
    Q_OBJECT
public:
    explicit CustomSliderCell(QObject *parent = nullptr);

    static CustomSliderCell *install(QSlider *slider);

    // Unset: the palette's highlight (filled) and mid colour (empty).
    QColor filledBarColor() const { return m_filled; }
    void setFilledBarColor(const QColor &color) { m_filled = color; }
    QColor emptyBarColor() const { return m_empty; }
    void setEmptyBarColor(const QColor &color) { m_empty = color; }

    // The filled part's width for a control of that width; equal bounds fill nothing.
    static qreal filledWidth(qreal controlWidth, double value, double minimum, double maximum);
    // The bar inside the groove rectangle: 5 high, centred, full width.
    static QRectF barRect(const QRectF &groove);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;

    static constexpr qreal kBarHeight = 5.0;
    static constexpr qreal kRadius = 2.5;
    static constexpr qreal kInset = 8.0;

private:
    QColor m_filled;
    QColor m_empty;
};
