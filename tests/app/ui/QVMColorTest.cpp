#include "ui/style/QVMColor.h"

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

TEST(QVMColor, GradientBrushPaintsFromBottomToTop) {
    QImage canvas(4, 100, QImage::Format_ARGB32);
    QPainter painter(&canvas);
    painter.fillRect(canvas.rect(), QVMColor::colorWithGradient({{0.0, Qt::black}, {1.0, Qt::white}}));
    painter.end();
    EXPECT_GT(canvas.pixelColor(1, 1).lightness(), 240); // top: the last stop
    EXPECT_LT(canvas.pixelColor(1, 98).lightness(), 15); // bottom: the first stop
}

// A translucent text colour reads as it shows on its background, not as its opaque self.
TEST(QVMColor, TranslucentColoursCountAsTheyShowOnTheirBackground) {
    const struct {
        const char *name;
        QColor text, background;
        const char *shownAs;
        double ratio;
    } cases[] = {
        {"half black on white, a theme's placeholder", QColor(0, 0, 0, 128), Qt::white, "7F7F7F", 4.0},
        {"half white on black", QColor(255, 255, 255, 128), Qt::black, "808080", 5.3},
        {"invisible", QColor(0, 0, 0, 0), Qt::white, "FFFFFF", 1.0},
        {"opaque", QColor(0, 0, 0), Qt::white, "000000", 21.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QColor shown = QVMColor::flattenedOn(c.text, c.background);
        EXPECT_EQ(hexOf(shown), QString::fromLatin1(c.shownAs));
        EXPECT_EQ(shown.alpha(), 255);
        EXPECT_NEAR(QVMColor::contrastRatio(c.text, c.background), c.ratio, 0.06);
        // Made readable, it is an opaque colour that reaches the ratio.
        const QColor readable = QVMColor::readableOn(c.text, c.background);
        EXPECT_GE(QVMColor::contrastRatio(readable, c.background), c.ratio >= 4.5 ? c.ratio - 0.01 : 4.5);
    }
}
