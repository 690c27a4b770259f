#include "WindowChecks.h"

#include "services/graphics/QVMStyleService.h"
#include "ui/controls/QVMSegmentedControl.h"
#include "ui/style/QVMAppearance.h"
#include "ui/style/QVMColor.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Restores the application palette and the desktop scheme after each test.
class AppearanceTest : public ::testing::Test {
protected:
    void SetUp() override { m_palette = QApplication::palette(); }
    void TearDown() override {
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
        QApplication::setPalette(m_palette);
    }
    QPalette m_palette;
};

// A desktop theme's palette as themes make them: the placeholder is the text at half opacity.
QPalette themePalette() {
    QPalette palette = QApplication::style()->standardPalette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Window, QColor(0xef, 0xef, 0xef));
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::PlaceholderText, QColor(0, 0, 0, 128));
        palette.setColor(group, QPalette::Link, QColor(0x80, 0xb0, 0xff));
        palette.setColor(group, QPalette::Highlight, QColor(0xff, 0xe0, 0x40));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0xb0, 0xb0, 0xb0));
    return palette;
}

} // namespace

TEST_F(AppearanceTest, AThemesUnreadableTextsAreMendedAndTheRestKept) {
    const QPalette theme = themePalette();
    const QPalette mended = QVMAppearance::readablePalette(theme);
    const struct {
        QPalette::ColorRole text, background;
        bool mendedExpected;
    } cases[] = {
        {QPalette::PlaceholderText, QPalette::Base, true},      {QPalette::Link, QPalette::Base, true},
        {QPalette::HighlightedText, QPalette::Highlight, true}, {QPalette::Text, QPalette::Base, false},
        {QPalette::WindowText, QPalette::Window, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.text));
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            EXPECT_GE(QVMColor::contrastRatio(mended.color(group, c.text), mended.color(group, c.background)),
                      4.5);
            EXPECT_EQ(mended.color(group, c.text) != theme.color(group, c.text), c.mendedExpected);
            EXPECT_EQ(mended.color(group, c.background), theme.color(group, c.background));
        }
    }
    // A greyed text reads too, and still looks out of use.
    EXPECT_GE(QVMColor::contrastRatio(mended.color(QPalette::Disabled, QPalette::Text),
                                      mended.color(QPalette::Disabled, QPalette::Base)),
              4.5);
    EXPECT_NE(mended.color(QPalette::Disabled, QPalette::Text),
              mended.color(QPalette::Active, QPalette::Text));
}

// A greyed control still reads: its text reaches 4.5:1 on every face it stands on, both schemes.
TEST_F(AppearanceTest, OurPalettesGreyedTextsStillRead) {
    const struct {
        QPalette::ColorRole text, background;
    } pairs[] = {{QPalette::WindowText, QPalette::Window},
                 {QPalette::ButtonText, QPalette::Button},
                 {QPalette::Text, QPalette::Base}};
    for (const bool dark : {false, true}) {
        const QPalette palette = QVMAppearance::palette(dark);
        for (const auto &pair : pairs) {
            SCOPED_TRACE(std::to_string(dark) + " " + std::to_string(int(pair.text)));
            EXPECT_GE(QVMColor::contrastRatio(palette.color(QPalette::Disabled, pair.text),
                                              palette.color(QPalette::Disabled, pair.background)),
                      4.5);
            EXPECT_NE(palette.color(QPalette::Disabled, pair.text),
                      palette.color(QPalette::Active, pair.text));
        }
    }
}

// With no scheme stated the desktop theme's palette is used, mended; a live switch to dark and
// back to no scheme brings it again.
TEST_F(AppearanceTest, TheDesktopsPaletteIsMendedAndComesBackAfterALiveSwitch) {
    QVMStyleService &style = QVMStyleService::shared();
    style.setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
    QApplication::setPalette(themePalette());
    QVMAppearance::install();
    const struct {
        QVMStyleService::ColorScheme scheme;
        QColor window;
    } steps[] = {
        {QVMStyleService::ColorScheme::NoPreference, QColor(0xef, 0xef, 0xef)},
        {QVMStyleService::ColorScheme::Dark, QVMColor::windowBackgroundDarkColor()},
        {QVMStyleService::ColorScheme::NoPreference, QColor(0xef, 0xef, 0xef)},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(int(step.scheme));
        style.setDesktopColorScheme(step.scheme);
        const QPalette now = QApplication::palette();
        EXPECT_EQ(now.color(QPalette::Window), step.window);
        EXPECT_GE(QVMColor::contrastRatio(now.color(QPalette::PlaceholderText), now.color(QPalette::Base)),
                  4.5);
    }
}

// Fusion paints a dark button's face up to a quarter lighter than its palette colour: the walker
// measures the face itself, and the dark palette's buttons stay readable on it.
TEST_F(AppearanceTest, TextOnTheFacesTheStylePaintsReadsInBothSchemes) {
    ASSERT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion")) << "the tests' style";
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *push = new QPushButton(QStringLiteral("Close"));
    auto *checked = new QToolButton;
    checked->setText(QStringLiteral("Side by side"));
    checked->setCheckable(true);
    checked->setChecked(true);
    auto *plain = new QToolButton;
    plain->setText(QStringLiteral("Hide history"));
    auto *combo = new QComboBox;
    combo->addItem(QStringLiteral("English"));
    auto *field = new QLineEdit;
    field->setPlaceholderText(QStringLiteral("Search"));
    // The tool bar's segments: a selected one takes the highlight colours.
    auto *segments = new QVMSegmentedControl(QVMSegmentedControl::SelectOne,
                                             {QStringLiteral("Side by side"), QStringLiteral("One above")});
    for (QWidget *w :
         {static_cast<QWidget *>(push), static_cast<QWidget *>(checked), static_cast<QWidget *>(plain),
          static_cast<QWidget *>(combo), static_cast<QWidget *>(field), static_cast<QWidget *>(segments)})
        layout->addWidget(w);
    window.show();
    uitest::expectReadableInBothPalettes(&window);

    // The named dark button grey, as the dark palette once had it, does not pass on its painted face.
    QPalette old = QVMAppearance::palette(true);
    old.setColor(QPalette::Button, QVMColor::buttonDarkColor());
    push->setPalette(old);
    const QColor face = uitest::worstFaceUnder(push, Qt::white);
    ASSERT_TRUE(face.isValid());
    EXPECT_LT(QVMColor::contrastRatio(Qt::white, face), 4.5) << face.name().toStdString();
    EXPECT_GE(QVMColor::contrastRatio(Qt::white, QVMColor::buttonDarkColor()), 4.5)
        << "the palette alone would have passed";
}
