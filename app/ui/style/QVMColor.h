#pragma once

#include <QBrush>
#include <QColor>
#include <QGradientStops>
#include <QString>

// The application's colour palette and colour helpers. Light and dark variants
// are separate names; the caller picks one with QVMStyleService::isDarkMode():
//
//   QColor background = QVMStyleService::isDarkMode() ? QVMColor::windowBackgroundDarkColor()
//                                                     : QVMColor::windowBackgroundLightColor();
//   QColor brand = QVMColor::colorWithHexColorString(QStringLiteral("ED486A"));
//   QColor hover = QVMColor::adjust(brand, 10); // 10 % lighter
class QVMColor {
public:
    // Components 0-255, alpha 0-1.
    static QColor rgbColorWithRed(int red, int green, int blue, qreal alpha);
    // Leading hex digits ("ebf0f5", "0xEBF0F5") as 0xRRGGBB; anything unreadable,
    // and a leading "#", gives black.
    static QColor colorWithHexColorString(const QString &hex);
    // Adds percent/100 to red, green and blue, each kept within 0-1; alpha stays.
    static QColor adjust(const QColor &color, qreal percent);
    // The WCAG 2 contrast ratio (1 to 21) of a colour drawn on an opaque background: a
    // translucent colour counts as it shows over the background.
    static double contrastRatio(const QColor &a, const QColor &b);
    // The opaque colour a translucent one shows as over an opaque background.
    static QColor flattenedOn(const QColor &color, const QColor &background);
    // The colour itself when it reaches the ratio on the background; otherwise the
    // nearest shade towards black or white (whichever the background lets reach it)
    // that does, so a red stays a red, only darker or lighter.
    static QColor readableOn(const QColor &color, const QColor &background, double minimum = 4.5);
    // Black or white, whichever reads better on the background.
    static QColor inkOn(const QColor &background);
    // A brush painting the stops from the bottom (0) to the top (1) of whatever it fills.
    static QBrush colorWithGradient(const QGradientStops &stops);

    static QColor spinerColor();
    static QColor lexicalMeaningGrayColor();
    static QColor lexicalMeaningBlueColor();
    static QColor lexicalMeaningBrownColor();
    static QColor lexicalMeaningRedColor();
    static QColor lexicalMeaningGreenColor();
    static QColor cellSelectionColor();
    static QColor cellSelectionDarkColor();
    static QColor highlightedBlueColor();
    static QColor customLightGrayColor();
    static QColor customDarkGrayColor();
    static QColor customBlueColor();
    static QColor textSelectionDarkColor();
    static QColor textSelectionLightColor();
    static QColor customPinkColor();
    static QColor pinkShadowColor();
    static QColor grayShadowColor();
    static QColor windowBackgroundLightColor();
    static QColor windowBackgroundDarkColor();
    static QColor panelBackgroundDarkColor();
    static QColor tabBackgroundDarkColor();
    static QColor tatoebaMainColor();
    static QColor tatoebaSelectColor();
    static QColor tatoebaTranslateColor();
    static QColor languageTextColor();
    static QColor languageSelectedTextColor();
    static QColor languageSelectedBackgroundColor();
    static QColor definitionColor();
    static QColor customOrangeColor();
    static QColor buttonDarkColor();
    static QColor buttonColor();

    QVMColor() = delete;
};
