#include "panes/intro/QVMIntroVC.h"
#include "IntroTestSupport.h"
#include "WindowChecks.h"
#include "core/localization/DJLocalizationSystem.h"
#include "panes/intro/QVMIntroPageViewController.h"
#include "platform/Bundle.h"
#include "ui/controls/BFPageControl.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

class IntroVCTest : public introtest::IntroTest {
protected:
    void TearDown() override {
        delete intro;
        introtest::IntroTest::TearDown();
    }
    // A new onboarding in its own window, as the user first sees it.
    QVMIntroVC *open() {
        delete intro;
        events.clear();
        intro = QVMInterfaceFactory::shared().instantiateController<QVMIntroVC>(QStringLiteral("QVMIntro"),
                                                                                QStringLiteral("QVMIntroVC"));
        intro->view()->show();
        qvtest::spin(30);
        return intro;
    }
    QToolButton *button(const char *name) const {
        return intro->view()->findChild<QToolButton *>(QString::fromLatin1(name));
    }
    QList<BFPageControlCell *> dots() const {
        return intro->view()->findChild<BFPageControl *>()->findChildren<BFPageControlCell *>();
    }
    void key(int key) { QTest::keyClick(button("introNext"), Qt::Key(key)); }
    void swipe(int dx) {
        QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(dx, 0), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(intro->view(), &wheel);
    }
    bool closed() const { return !intro->view()->isVisible(); }

    QPointer<QVMIntroVC> intro;
};

} // namespace

TEST_F(IntroVCTest, EveryWayOfTurningMovesTheOnePageShown) {
    const auto click = [](QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); };
    struct Case {
        const char *name;
        std::function<void()> turn;
        qint64 page;
        QStringList events; // after the opening ones
    } cases[] = {
        {"Left on the first page", [&] { key(Qt::Key_Left); }, 0, {}},
        {"a swipe back on the first page", [&] { swipe(120); }, 0, {}},
        {"Right past the last page stays open",
         [&] {
             for (int i = 0; i < 6; ++i)
                 key(Qt::Key_Right);
         },
         4,
         {}},
        {"a dot, then Next",
         [&] {
             click(dots().at(2));
             click(button("introNext"));
         },
         3,
         {"Intro screen: Screen 3"}},
        {"a swipe forward, then Back",
         [&] {
             swipe(-60);
             swipe(-60);
             swipe(-120);
             click(button("introBack"));
         },
         1,
         {"Intro screen: Screen 2", "Intro screen: Screen 3"}},
        {"Right, then Left", [&] { key(Qt::Key_Right), key(Qt::Key_Right), key(Qt::Key_Left); }, 1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open();
        c.turn();
        EXPECT_EQ(intro->selectedIndex(), c.page);
        EXPECT_EQ(intro->view()->findChild<QStackedWidget *>()->currentIndex(), c.page);
        EXPECT_EQ(intro->view()->findChild<BFPageControl *>()->currentPage(), c.page);
        EXPECT_EQ(button("introBack")->isEnabled(), c.page > 0);
        EXPECT_FALSE(closed());
        EXPECT_EQ(introtest::joined(events),
                  introtest::joined(QStringList({"Intro screen: Screen 1", "Intro screen"}) + c.events));
    }
}

TEST_F(IntroVCTest, LeavingClosesTheWindowAndOnlySkipReportsIt) {
    const auto press = [this](const char *name, int times) {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(button(name), Qt::LeftButton);
    };
    struct Case {
        const char *name;
        std::function<void()> leave;
        QStringList events; // after the opening ones
    } cases[] = {
        {"Escape", [&] { key(Qt::Key_Escape); }, {}},
        {"Next on page 5", [&] { press("introNext", 5); }, {}},
        {"Return on page 5",
         [&] {
             for (int i = 0; i < 5; ++i)
                 key(Qt::Key_Return);
         },
         {}},
        {"Skip on page 3",
         [&] {
             press("introNext", 2);
             press("introSkip", 1);
         },
         {"Intro screen: Screen 3 - Click Skip"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open();
        c.leave();
        qvtest::spin(10);
        EXPECT_TRUE(closed());
        EXPECT_EQ(introtest::joined(events),
                  introtest::joined(QStringList({"Intro screen: Screen 1", "Intro screen"}) + c.events));
    }
}

TEST_F(IntroVCTest, TheMainViewOpensTheIntroByNameWithOneReportOfEach) {
    write([](platform::Transaction &tx) {
        QVRemoteSettings remote = QVRemoteSettings::createWithDefaults(tx);
        remote.setEnableIntroScreen(tx, true);
        QVSettingsService::defaultSettings().setRemoteSettings(tx, remote);
    });
    events.clear();
    openWindow();
    qvtest::spin(30);
    const QList<QVMBaseVC *> shown = general->presentedViewControllers();
    ASSERT_EQ(shown.size(), 1);
    ASSERT_TRUE(qobject_cast<QVMIntroVC *>(shown.first()));
    EXPECT_EQ(events.count("Intro screen"), 1);
    EXPECT_EQ(events.count("Intro screen: Screen 1"), 1);
    QTest::keyClick(shown.first()->view(), Qt::Key_Escape);
    qvtest::spin(20);
    EXPECT_TRUE(general->presentedViewControllers().isEmpty());
}

TEST_F(IntroVCTest, TextsFallBackToEnglishWithoutSwitchingTheLanguage) {
    QTemporaryDir resources;
    const auto table = [&](const char *language, const QByteArray &content) {
        const QString folder = resources.filePath(QString::fromLatin1(language) + QStringLiteral(".lproj"));
        QDir().mkpath(folder);
        QFile file(QDir(folder).filePath(QStringLiteral("Localizable.strings")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    table("en", "\"_loc_intro_page1_title\" = \"Translate\";\n\"_loc_intro_page2_title\" = \"Documents\";\n");
    table("de", "\"_loc_intro_page1_title\" = \"\\u00dcbersetzen\";\n");
    const QString language = DJLocalizationSystem::shared().customLanguage();
    platform::Bundle::setResourcePath(resources.path());
    DJLocalizationSystem::shared().reload();
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("de"));
    const QList<QVMIntroObject> pages = QVMIntroVC::makePages();
    const QString after = DJLocalizationSystem::shared().language();
    platform::Bundle::setResourcePath(QString());
    DJLocalizationSystem::shared().reload();
    DJLocalizationSystem::shared().setLanguage(language.isEmpty() ? QStringLiteral("en") : language);

    struct Case {
        const char *name;
        QString text, expected;
    } cases[] = {
        {"a key missing in both tables is empty", pages.value(2).titleKey(), QString()},
        {"a key missing in German is English", pages.value(1).titleKey(), QStringLiteral("Documents")},
        {"a key in German is German", pages.value(0).titleKey(), QChar(0xdc) + QStringLiteral("bersetzen")},
    };
    ASSERT_EQ(pages.size(), 5);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.text, c.expected);
    }
    EXPECT_EQ(after, QStringLiteral("de"));
}

TEST_F(IntroVCTest, APageWithoutItsPictureShowsTitleAndTextAlone) {
    struct Case {
        const char *name;
        QString image;
        bool picture;
    } cases[] = {
        {"missing picture", QStringLiteral("intro_slide_missing"), false},
        {"first picture", QStringLiteral("intro_slide_0"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVMIntroPageViewController page;
        page.setRepresentedObject(QVMIntroObject(c.image, QStringLiteral("Title"), QStringLiteral("Text")));
        page.view()->resize(600, 500);
        page.view()->show();
        EXPECT_EQ(page.view()->findChild<QLabel *>("introPicture")->isVisible(), c.picture);
        EXPECT_EQ(page.view()->findChild<QLabel *>("introTitle")->text(), QStringLiteral("Title"));
        EXPECT_TRUE(page.view()->findChild<QLabel *>("introDescription")->isVisible());
        // Every page made later shares the one decoded picture.
        EXPECT_EQ(QVMIntroObject(c.image, {}, {}).icon().cacheKey(),
                  page.representedObject().icon().cacheKey());
    }
}

TEST_F(IntroVCTest, ControlsAreNamedReadableAndInReadingOrder) {
    open();
    key(Qt::Key_Right); // Back is enabled from the second page on
    uitest::expectEveryControlNamed(intro->view());
    uitest::expectReadableInBothPalettes(intro->view());
    QStringList order;
    QWidget *start = button("introNext");
    for (QWidget *w = start->nextInFocusChain(); w != start; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(intro->view()) && w->isEnabled())
            order.append(w->accessibleName());
    order.append(start->accessibleName());
    EXPECT_EQ(introtest::joined(order),
              introtest::joined({"Page 1 of 5", "Page 2 of 5", "Page 3 of 5", "Page 4 of 5", "Page 5 of 5",
                                 "Back", "Skip", "Next"}));
}
