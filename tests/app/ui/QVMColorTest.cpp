#include "ui/QVMColor.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

QString hexOf(const QColor &colour) {
    return QStringLiteral("%1%2%3")
        .arg(colour.red(), 2, 16, QLatin1Char('0'))
        .arg(colour.green(), 2, 16, QLatin1Char('0'))
        .arg(colour.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

TEST(QVMColor, HexStringsReadLeadingDigitsWithAnOptionalPrefix) {
    const struct {
        const char *text;
        const char *hex;
    } cases[] = {
        {"ebf0f5", "EBF0F5"},   {"EBF0F5", "EBF0F5"},     {"0xebf0f5", "EBF0F5"},
        {"0XEBF0F5", "EBF0F5"}, {"#ebf0f5", "000000"},    {"", "000000"},
        {"zz", "000000"},       {"12zz", "000012"},       {"ff0000 trailing", "FF0000"},
        {" 00ff00", "00FF00"},  {"FFFFFFFFFF", "FFFFFF"}, // more than 32 bits read as the largest value
        {"AB123456", "123456"},                           // the top byte is not a colour
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const QColor colour = QVMColor::colorWithHexColorString(QString::fromUtf8(c.text));
        EXPECT_EQ(hexOf(colour), QString::fromLatin1(c.hex));
        EXPECT_EQ(colour.alphaF(), 1.0f);
    }
    EXPECT_EQ(QVMColor::colorWithHexColorString(QString()), QColor(Qt::black));
}

TEST(QVMColor, AdjustLightensWithinRangeAndKeepsAlpha) {
    const QColor base = QColor::fromRgbF(0.95f, 0.5f, 0.0f, 0.4f);
    const QColor lighter = QVMColor::adjust(base, 10);
    EXPECT_FLOAT_EQ(lighter.redF(), 1.0f);
    EXPECT_NEAR(lighter.greenF(), 0.6f, 1e-4);
    EXPECT_NEAR(lighter.blueF(), 0.1f, 1e-4);
    EXPECT_NEAR(lighter.alphaF(), 0.4f, 1e-4);
    const QColor darker = QVMColor::adjust(base, -60);
    EXPECT_NEAR(darker.redF(), 0.35f, 1e-4);
    EXPECT_FLOAT_EQ(darker.blueF(), 0.0f); // never below zero
    EXPECT_NEAR(darker.alphaF(), 0.4f, 1e-4);
}

TEST(QVMColor, PaletteHasItsExactValues) {
    const struct {
        const char *name;
        QColor colour;
        const char *hex;
        qreal alpha;
    } cases[] = {
        {"lexicalMeaningGrayColor", QVMColor::lexicalMeaningGrayColor(), "AFAA9F", 1},
        {"lexicalMeaningBlueColor", QVMColor::lexicalMeaningBlueColor(), "318FB3", 1},
        {"lexicalMeaningBrownColor", QVMColor::lexicalMeaningBrownColor(), "92693B", 1},
        {"lexicalMeaningRedColor", QVMColor::lexicalMeaningRedColor(), "FF5E4B", 1},
        {"lexicalMeaningGreenColor", QVMColor::lexicalMeaningGreenColor(), "438642", 1},
        {"cellSelectionColor", QVMColor::cellSelectionColor(), "F4FCFF", 1},
        {"cellSelectionDarkColor", QVMColor::cellSelectionDarkColor(), "0F0808", 1},
        {"highlightedBlueColor", QVMColor::highlightedBlueColor(), "CEDEEF", 1},
        {"customLightGrayColor", QVMColor::customLightGrayColor(), "FAFAFA", 1},
        {"customDarkGrayColor", QVMColor::customDarkGrayColor(), "262626", 1},
        {"customBlueColor", QVMColor::customBlueColor(), "489DCE", 1},
        {"textSelectionDarkColor", QVMColor::textSelectionDarkColor(), "5484B0", 1},
        {"customPinkColor", QVMColor::customPinkColor(), "ED486A", 1},
        {"windowBackgroundLightColor", QVMColor::windowBackgroundLightColor(), "EBF0F5", 1},
        {"windowBackgroundDarkColor", QVMColor::windowBackgroundDarkColor(), "454545", 1},
        {"panelBackgroundDarkColor", QVMColor::panelBackgroundDarkColor(), "454648", 1},
        {"tabBackgroundDarkColor", QVMColor::tabBackgroundDarkColor(), "2E2F31", 1},
        {"tatoebaMainColor", QVMColor::tatoebaMainColor(), "3082CA", 1},
        {"tatoebaSelectColor", QVMColor::tatoebaSelectColor(), "ED476B", 1},
        {"tatoebaTranslateColor", QVMColor::tatoebaTranslateColor(), "808080", 1},
        {"languageTextColor", QVMColor::languageTextColor(), "004080", 1},
        {"languageSelectedTextColor", QVMColor::languageSelectedTextColor(), "F56D0A", 1},
        {"languageSelectedBackgroundColor", QVMColor::languageSelectedBackgroundColor(), "FFFFD2", 1},
        {"definitionColor", QVMColor::definitionColor(), "008000", 1},
        {"customOrangeColor", QVMColor::customOrangeColor(), "FFA500", 1},
        {"buttonDarkColor", QVMColor::buttonDarkColor(), "5A5A5A", 1},
        {"buttonColor", QVMColor::buttonColor(), "F6F6F6", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hexOf(c.colour), QString::fromLatin1(c.hex));
        EXPECT_NEAR(c.colour.alphaF(), c.alpha, 1e-4);
    }
    const struct {
        const char *name;
        QColor colour;
        float red, green, blue, alpha;
    } fractions[] = {
        {"spinerColor", QVMColor::spinerColor(), 0.43f, 0.46f, 0.5f, 0.7f},
        {"pinkShadowColor", QVMColor::pinkShadowColor(), 0.92578125f, 0.28125f, 0.4140625f, 0.5f},
        {"grayShadowColor", QVMColor::grayShadowColor(), 0.72265625f, 0.765625f, 0.8203125f, 0.5f},
    };
    for (const auto &c : fractions) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(c.colour.redF(), c.red, 1e-4);
        EXPECT_NEAR(c.colour.greenF(), c.green, 1e-4);
        EXPECT_NEAR(c.colour.blueF(), c.blue, 1e-4);
        EXPECT_NEAR(c.colour.alphaF(), c.alpha, 1e-4);
    }
}

TEST(QVMColor, GradientBrushPaintsFromBottomToTop) {
    QImage canvas(4, 100, QImage::Format_ARGB32);
    QPainter painter(&canvas);
    painter.fillRect(canvas.rect(), QVMColor::colorWithGradient({{0.0, Qt::black}, {1.0, Qt::white}}));
    painter.end();
    EXPECT_GT(canvas.pixelColor(1, 1).lightness(), 240); // top: the last stop
    EXPECT_LT(canvas.pixelColor(1, 98).lightness(), 15); // bottom: the first stop
}
