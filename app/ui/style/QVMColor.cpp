#include "ui/style/QVMColor.h"

#include <QLinearGradient>

#include <algorithm>
#include <cmath>

namespace {

int hexDigitValue(QChar c) {
    const char l = c.toLatin1();
    if (l >= '0' && l <= '9')
        return l - '0';
    if (l >= 'a' && l <= 'f')
        return l - 'a' + 10;
    if (l >= 'A' && l <= 'F')
        return l - 'A' + 10;
    return -1;
}

} // namespace

double QVMColor::contrastRatio(const QColor &a, const QColor &b) {
    const auto luminance = [](const QColor &colour) {
        const auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
               0.0722 * channel(colour.blueF());
    };
    const double la = luminance(flattenedOn(a, b)), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor QVMColor::flattenedOn(const QColor &color, const QColor &background) {
    const QColor top = color.toRgb();
    const QColor under = background.toRgb();
    const float alpha = top.alphaF();
    if (alpha >= 1.0f)
        return top;
    const auto mix = [alpha](float over, float below) { return over * alpha + below * (1.0f - alpha); };
    return QColor::fromRgbF(mix(top.redF(), under.redF()), mix(top.greenF(), under.greenF()),
                            mix(top.blueF(), under.blueF()));
}

QColor QVMColor::inkOn(const QColor &background) {
    return contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

QColor QVMColor::readableOn(const QColor &color, const QColor &background, double minimum) {
    if (!color.isValid() || contrastRatio(color, background) >= minimum)
        return color;
    const QColor target = inkOn(background);
    const QColor from = flattenedOn(color, background);
    // Twenty steps towards the ink: the first that reads is the closest to the colour asked for.
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed = QColor::fromRgbF(float(from.redF() + (target.redF() - from.redF()) * t),
                                              float(from.greenF() + (target.greenF() - from.greenF()) * t),
                                              float(from.blueF() + (target.blueF() - from.blueF()) * t));
        if (contrastRatio(mixed, background) >= minimum)
            return mixed;
    }
    return target;
}

QColor QVMColor::rgbColorWithRed(int red, int green, int blue, qreal alpha) {
    return QColor::fromRgbF(float(red / 255.0), float(green / 255.0), float(blue / 255.0), float(alpha));
}

QColor QVMColor::colorWithHexColorString(const QString &hex) {
    int i = 0;
    while (i < hex.size() && hex.at(i).isSpace())
        ++i;
    if (hex.mid(i, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0)
        i += 2;
    quint64 value = 0;
    for (; i < hex.size(); ++i) {
        const int digit = hexDigitValue(hex.at(i));
        if (digit < 0)
            break;
        // Too many digits saturate, as an unsigned 32-bit reader does.
        value = std::min<quint64>(value * 16 + quint64(digit), 0xFFFFFFFFull);
    }
    const quint32 n = quint32(value);
    return QColor::fromRgbF(((n >> 16) & 0xFF) / 255.0f, ((n >> 8) & 0xFF) / 255.0f, (n & 0xFF) / 255.0f,
                            1.0f);
}

QColor QVMColor::adjust(const QColor &color, qreal percent) {
    const QColor rgb = color.toRgb();
    const auto shift = [percent](float component) {
        return std::clamp(component + float(percent / 100.0), 0.0f, 1.0f);
    };
    return QColor::fromRgbF(shift(rgb.redF()), shift(rgb.greenF()), shift(rgb.blueF()), rgb.alphaF());
}

QBrush QVMColor::colorWithGradient(const QGradientStops &stops) {
    QLinearGradient gradient(QPointF(0, 1), QPointF(0, 0));
    gradient.setCoordinateMode(QGradient::ObjectMode);
    gradient.setStops(stops);
    return QBrush(gradient);
}

QColor QVMColor::spinerColor() {
    return QColor::fromRgbF(0.43f, 0.46f, 0.5f, 0.7f);
}
QColor QVMColor::lexicalMeaningGrayColor() {
    return colorWithHexColorString(QStringLiteral("AFAA9F"));
}
QColor QVMColor::lexicalMeaningBlueColor() {
    return colorWithHexColorString(QStringLiteral("318FB3"));
}
QColor QVMColor::lexicalMeaningBrownColor() {
    return colorWithHexColorString(QStringLiteral("92693B"));
}
QColor QVMColor::lexicalMeaningRedColor() {
    return colorWithHexColorString(QStringLiteral("FF5E4B"));
}
QColor QVMColor::lexicalMeaningGreenColor() {
    return colorWithHexColorString(QStringLiteral("438642"));
}
QColor QVMColor::cellSelectionColor() {
    return rgbColorWithRed(244, 252, 255, 1);
}
QColor QVMColor::cellSelectionDarkColor() {
    return rgbColorWithRed(15, 8, 8, 1);
}
QColor QVMColor::highlightedBlueColor() {
    return rgbColorWithRed(206, 222, 239, 1);
}
QColor QVMColor::customLightGrayColor() {
    return rgbColorWithRed(250, 250, 250, 1);
}
QColor QVMColor::customDarkGrayColor() {
    return rgbColorWithRed(38, 38, 38, 1);
}
QColor QVMColor::customBlueColor() {
    return rgbColorWithRed(72, 157, 206, 1);
}
QColor QVMColor::textSelectionDarkColor() {
    return rgbColorWithRed(84, 132, 176, 1);
}
QColor QVMColor::textSelectionLightColor() {
    return QColor(Qt::yellow);
}
QColor QVMColor::customPinkColor() {
    return colorWithHexColorString(QStringLiteral("ED486A"));
}
QColor QVMColor::pinkShadowColor() {
    return QColor::fromRgbF(0.92578125f, 0.28125f, 0.4140625f, 0.5f);
}
QColor QVMColor::grayShadowColor() {
    return QColor::fromRgbF(0.72265625f, 0.765625f, 0.8203125f, 0.5f);
}
QColor QVMColor::windowBackgroundLightColor() {
    return colorWithHexColorString(QStringLiteral("ebf0f5"));
}
QColor QVMColor::windowBackgroundDarkColor() {
    return colorWithHexColorString(QStringLiteral("454545"));
}
QColor QVMColor::panelBackgroundDarkColor() {
    return colorWithHexColorString(QStringLiteral("454648"));
}
QColor QVMColor::tabBackgroundDarkColor() {
    return colorWithHexColorString(QStringLiteral("2e2f31"));
}
QColor QVMColor::tatoebaMainColor() {
    return QColor::fromRgbF(48 / 255.0f, 130 / 255.0f, 202 / 255.0f, 1);
}
QColor QVMColor::tatoebaSelectColor() {
    return QColor::fromRgbF(237 / 255.0f, 71 / 255.0f, 107 / 255.0f, 1);
}
QColor QVMColor::tatoebaTranslateColor() {
    return QColor::fromRgbF(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1);
}
QColor QVMColor::languageTextColor() {
    return rgbColorWithRed(0, 64, 128, 1);
}
QColor QVMColor::languageSelectedTextColor() {
    return rgbColorWithRed(245, 109, 10, 1);
}
QColor QVMColor::languageSelectedBackgroundColor() {
    return rgbColorWithRed(255, 255, 210, 1);
}
QColor QVMColor::definitionColor() {
    return colorWithHexColorString(QStringLiteral("008000"));
}
QColor QVMColor::customOrangeColor() {
    return rgbColorWithRed(255, 165, 0, 1);
}
QColor QVMColor::buttonDarkColor() {
    return rgbColorWithRed(90, 90, 90, 1);
}
QColor QVMColor::buttonColor() {
    return rgbColorWithRed(246, 246, 246, 1);
}
