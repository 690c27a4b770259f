// The panels show a text and its own translation: whatever redraws or rebuilds them, undo in
// the result panel and the controls that need the connection.
#include "GeneralViewTestSupport.h"
#include "WindowChecks.h"

#include "core/localization/QVLocalizedString.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/foundation/QVMControlAvailability.h"
#include "ui/main/QVMPanelsSnapshot.h"

#include <QKeyEvent>
#include <QToolButton>

using namespace uitest;

namespace {

class GeneralViewPanelsTest : public GeneralViewTest {
protected:
    void SetUp() override {
        GeneralViewTest::SetUp();
        QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
        hooks.onOpenFile = hooks.onOpenTranslateWebPages = [](QVMGeneralViewController *) {};
        openWindow();
    }
    void TearDown() override {
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
        GeneralViewTest::TearDown();
    }
    // An online translation, answered and stored.
    void translated(const QString &text, const QString &translation) {
        advance(5000);
        type(text);
        general->translateOperation();
        ASSERT_FALSE(online->calls.isEmpty());
        answer(int(online->calls.size()) - 1, translation, nowId());
        ASSERT_TRUE(rendered());
    }
    void switchScheme(QVMStyleService::ColorScheme scheme) {
        QVMStyleService::shared().setDesktopColorScheme(scheme);
        qvtest::spin(20);
        ASSERT_TRUE(rendered());
    }
    QString sourceText() const { return general->fromTranslateTextView()->toPlainText(); }
    void undoInResultPanel() {
        PaddingTextView *result = general->toTranslateTextView();
        result->setFocus();
        QKeyEvent undo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
        QCoreApplication::sendEvent(result, &undo);
    }
};

} // namespace

TEST_F(GeneralViewPanelsTest, ASchemeSwitchRedrawsThePanelsAsTheyAreNow) {
    struct Case {
        const char *road;
        std::function<void()> then;
        QString source, result;
    };
    const QList<Case> cases = {
        {"New", [this] { window->onNew(); }, QString(), QString()},
        {"the clear button", [this] { general->onClear(); }, QString(), QString()},
        {"the result edited by hand",
         [this] { general->toTranslateTextView()->setPlainText(QStringLiteral("Der alte Baum")); },
         QStringLiteral("The old tree"), QStringLiteral("Der alte Baum")},
        {"another pair handed over (photo window)",
         [this] { general->setTextAndTranslation(QStringLiteral("A cat"), QStringLiteral("Eine Katze")); },
         QStringLiteral("A cat"), QStringLiteral("Eine Katze")},
        {"the result panel focused after an edit",
         [this] {
             general->toTranslateTextView()->setPlainText(QStringLiteral("Der Baum, alt"));
             general->toTranslateTextView()->setFocus();
             general->fromTranslateTextView()->setFocus();
             general->toTranslateTextView()->setFocus();
         },
         QStringLiteral("The old tree"), QStringLiteral("Der Baum, alt")},
        {"nothing done", [] {}, QStringLiteral("The old tree"), QStringLiteral("Die alt Baum")},
    };
    bool dark = false;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.road);
        translated(QStringLiteral("The old tree"), QStringLiteral("Die alt Baum"));
        c.then();
        ASSERT_TRUE(rendered());
        dark = !dark;
        switchScheme(dark ? QVMStyleService::ColorScheme::Dark : QVMStyleService::ColorScheme::Light);
        EXPECT_EQ(sourceText(), c.source);
        EXPECT_EQ(resultText(), c.result);
    }
}

TEST_F(GeneralViewPanelsTest, UndoInTheResultPanelNeverBringsBackAnotherTranslation) {
    struct Case {
        const char *road;
        std::function<void()> show;
        QString result;
    };
    const QList<Case> cases = {
        {"an online reply",
         [this] { translated(QStringLiteral("Good night"), QStringLiteral("Gute Nacht")); },
         QStringLiteral("Gute Nacht")},
        {"a history item",
         [this] {
             general->showHistory(history().first());
             ASSERT_TRUE(rendered());
         },
         QStringLiteral("Die alt Baum")},
        {"an offline result",
         [this] {
             platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
             type(QStringLiteral("Thanks"));
             general->translateOperation();
             ASSERT_FALSE(offline->completions.isEmpty());
             offline->completions.takeLast()(QStringLiteral("Danke"), {});
             ASSERT_TRUE(qvtest::waitUntil([this] { return resultText() == QStringLiteral("Danke"); }));
             ASSERT_TRUE(rendered());
             platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::ReachableViaOther);
         },
         QStringLiteral("Danke")},
        {"a pair handed over",
         [this] { general->setTextAndTranslation(QStringLiteral("Yes"), QStringLiteral("Ja")); },
         QStringLiteral("Ja")},
    };
    translated(QStringLiteral("The old tree"), QStringLiteral("Die alt Baum"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.road);
        // Something to undo in the panel before the new translation comes.
        general->toTranslateTextView()->insertPlainText(QStringLiteral(" edited"));
        c.show();
        EXPECT_FALSE(general->toTranslateTextView()->document()->isUndoAvailable());
        undoInResultPanel();
        EXPECT_EQ(resultText(), c.result);
    }
}

TEST_F(GeneralViewPanelsTest, ARebuildShowsThePanelsAsTheyAreNowAndNothingOlder) {
    struct Case {
        const char *state;
        std::function<void()> arrange;
        QString source, result;
        bool record; // the new view shows the stored record (its favourite state with it)
    };
    const QList<Case> cases = {
        {"emptied with New after a translation", [this] { window->onNew(); }, QString(), QString(), false},
        {"the stored translation", [] {}, QStringLiteral("The old tree"), QStringLiteral("Die alt Baum"),
         true},
        {"typed, not translated",
         [this] { general->fromTranslateTextView()->setPlainText(QStringLiteral("Good morning")); },
         QStringLiteral("Good morning"), QStringLiteral("Die alt Baum"), false},
        {"the result edited",
         [this] { general->toTranslateTextView()->setPlainText(QStringLiteral("Der alte Baum")); },
         QStringLiteral("The old tree"), QStringLiteral("Der alte Baum"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.state);
        translated(QStringLiteral("The old tree"), QStringLiteral("Die alt Baum"));
        c.arrange();
        const QVMPanelsSnapshot panels = window->panels();
        auto *rebuilt = new QVGeneralWindowController;
        rebuilt->restorePanels(panels);
        QVMGeneralViewController *view = rebuilt->generalViewController();
        ASSERT_TRUE(qvtest::waitUntil([view] { return view->pendingRenders() == 0; }));
        EXPECT_EQ(view->fromTranslateTextView()->toPlainText(), c.source);
        EXPECT_EQ(view->toTranslateTextView()->toPlainText(), c.result);
        EXPECT_EQ(view->translateObject().isValid(), c.record);
        EXPECT_FALSE(view->toTranslateTextView()->document()->isUndoAvailable());
        // A scheme switch in the new window changes nothing of it either.
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Dark);
        qvtest::spin(20);
        ASSERT_TRUE(qvtest::waitUntil([view] { return view->pendingRenders() == 0; }));
        EXPECT_EQ(view->toTranslateTextView()->toPlainText(), c.result);
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
        delete rebuilt;
    }
}

TEST_F(GeneralViewPanelsTest, DocumentAndWebPageButtonsFollowTheConnectionAndSayWhy) {
    const auto loc = [](const char *key) { return QVLocalizedString(QString::fromLatin1(key)); };
    struct Case {
        const char *state;
        QString from, to;
        std::optional<platform::NetworkStatus::Status> network;
        QToolButton *(QVMGeneralViewController::*button)() const;
        const char *reason; // null: enabled
    };
    const auto offline = platform::NetworkStatus::NotReachable;
    const auto online = platform::NetworkStatus::ReachableViaOther;
    const Case cases[] = {
        {"documents offline", "en_GB", "de_DE", offline, &QVMGeneralViewController::fileButton,
         "_loc_reason_offline_documents"},
        {"web pages offline", "en_GB", "fr_FR", offline, &QVMGeneralViewController::webPageButton,
         "_loc_reason_offline_web_pages"},
        {"web pages offline, and a pair they cannot take", "en_GB", "de_DE", offline,
         &QVMGeneralViewController::webPageButton, "_loc_reason_offline_web_pages"},
        {"a pair documents cannot take, online", "en_GB", "fr_FR", online,
         &QVMGeneralViewController::fileButton, "_loc_reason_no_documents"},
        {"documents online again", "en_GB", "de_DE", online, &QVMGeneralViewController::fileButton, nullptr},
        {"web pages online again", "en_GB", "fr_FR", online, &QVMGeneralViewController::webPageButton,
         nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.state);
        setPair(c.from, c.to);
        platform::NetworkStatus::shared().setOverride(c.network);
        qvtest::spin(5);
        QToolButton *button = (general->*c.button)();
        EXPECT_EQ(button->isEnabled(), c.reason == nullptr);
        const QString expected =
            c.reason ? QVMControlAvailability::disabledToolTip(button->accessibleName(), loc(c.reason))
                     : button->accessibleName();
        EXPECT_EQ(button->toolTip(), expected);
    }
}

TEST_F(GeneralViewPanelsTest, TheTextPanelsHaveATooltipAndAName) {
    expectEveryControlNamed(general->view());
}
