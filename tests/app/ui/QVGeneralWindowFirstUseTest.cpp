// The main window as a newcomer meets it: layout toggles, controls whose window
// is missing, desktop menus and keys, names of every control, and colours.
#include "GeneralViewTestSupport.h"

#include "WindowChecks.h"

#include "core/localization/QVLocalizedString.h"
#include "ui/controls/QVMSegmentedControl.h"
#include "ui/foundation/QVMControlAvailability.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QToolButton>

using namespace uitest;

namespace {

class FirstUseWindowTest : public GeneralViewTest {
protected:
    void TearDown() override {
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Light);
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
        GeneralViewTest::TearDown();
    }
    void reopen() {
        delete window;
        window = nullptr;
        openWindow();
    }
    // Gives the focus to another window and back, as a user switching windows does.
    void switchWindowsAndBack() {
        QWidget other;
        other.show();
        other.activateWindow();
        qvtest::waitUntil([&] { return QApplication::activeWindow() == &other; }, 1000);
        window->window()->activateWindow();
        qvtest::waitUntil([&] { return QApplication::activeWindow() == window->window(); }, 1000);
    }
    int storedInteger(const char *key) { return int(defaults().integerForKey(QString::fromLatin1(key))); }
};

// A right-hand panel as the side-panel part will register it.
class SidePane : public QVMBaseVC {
    Q_OBJECT
public:
    using QVMBaseVC::QVMBaseVC;

protected:
    QWidget *loadView() override { return new QWidget; }
};

} // namespace

TEST_F(FirstUseWindowTest, LayoutTogglesChangeTheLayoutAtOnceAndAfterARestart) {
    struct Step {
        const char *name;
        bool direction; // the layout control, else the panel control
        int segment;
        Qt::Orientation orientation;
        bool originalHidden, translationHidden;
        int storedDirection, storedShowState;
    } steps[] = {
        {"Side by side", true, 0, Qt::Horizontal, false, false, 1, 0},
        {"One above the other", true, 1, Qt::Vertical, false, false, 0, 0},
        {"Hide translation", false, 0, Qt::Vertical, false, true, 0, 1},
        {"Hide original while the translation is hidden", false, 1, Qt::Vertical, true, false, 0, 2},
        {"Hide original again shows both", false, 1, Qt::Vertical, false, false, 0, 0},
        {"Side by side with both shown", true, 0, Qt::Horizontal, false, false, 1, 0},
    };
    openWindow();
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        (step.direction ? window->viewsDirectionSegmentedControl() : window->panelsStateSegmentedControl())
            ->click(step.segment);
        for (const char *when : {"at once", "after a restart"}) {
            SCOPED_TRACE(when);
            EXPECT_EQ(general->generalSplitView()->orientation(), step.orientation);
            EXPECT_EQ(general->isOriginalPanelHidden(), step.originalHidden);
            EXPECT_EQ(general->isTranslatePanelHidden(), step.translationHidden);
            EXPECT_EQ(general->fromTranslateTextView()->isVisible(), !step.originalHidden);
            EXPECT_EQ(general->toTranslateTextView()->isVisible(), !step.translationHidden);
            EXPECT_EQ(window->panelsStateSegmentedControl()->isSelectedForSegment(0), step.translationHidden);
            EXPECT_EQ(window->panelsStateSegmentedControl()->isSelectedForSegment(1), step.originalHidden);
            EXPECT_TRUE(window->viewsDirectionSegmentedControl()->isSelectedForSegment(
                step.orientation == Qt::Horizontal ? 0 : 1));
            EXPECT_EQ(storedInteger(QVGeneralWindowController::kUserDefaultTranslateViewsDirection),
                      step.storedDirection);
            EXPECT_EQ(storedInteger(QVGeneralWindowController::kUserDefaultTranslateViewsShowState),
                      step.storedShowState);
            reopen();
        }
    }
}

TEST_F(FirstUseWindowTest, HideHistoryWaitsForTheSidePanelAndThenWorks) {
    openWindow();
    QToolButton *history = window->panelsStateSegmentedControl()->segmentButton(2);
    EXPECT_FALSE(history->isEnabled());
    EXPECT_EQ(history->toolTip(), QVMControlAvailability::missingToolTip(history->accessibleName()));
    history->click();
    EXPECT_FALSE(window->panelsStateSegmentedControl()->isSelectedForSegment(2));

    // The side-panel part registers its pane: the next window has it and the segment works.
    QVMInterfaceFactory::shared().registerController<SidePane>(
        QStringLiteral("Main"), QStringLiteral("QVMTransitContenerController"));
    reopen();
    history = window->panelsStateSegmentedControl()->segmentButton(2);
    EXPECT_TRUE(history->isEnabled());
    EXPECT_EQ(history->toolTip(), history->text());
    window->panelsStateSegmentedControl()->click(2);
    EXPECT_TRUE(window->splitController()->isPanelCollapsed());
    EXPECT_TRUE(window->panelsStateSegmentedControl()->isSelectedForSegment(2));
    EXPECT_EQ(storedInteger(QVGeneralWindowController::kUserDefaultHistoryViewShow), 1);
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Main"),
                                                   QStringLiteral("QVMTransitContenerController"));
}

TEST_F(FirstUseWindowTest, AControlIsEnabledExactlyWhileItsWindowIsInstalled) {
    openWindow();
    general->setTextAndTranslation(QStringLiteral("Hello"), QStringLiteral("Hallo"));
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    const auto viewHook = [](QVMGeneralViewController *) {};
    struct Case {
        const char *name;
        QAbstractButton *control;
        std::function<void()> install; // empty: nothing to install in a test
        bool enabledOnceInstalled;     // the control's own condition (languages, a result)
    } cases[] = {
        {"Picture", general->photoButton(), [&] { hooks.onOpenPhoto = viewHook; }, true},
        // German pages cannot be translated, so the control stays off for its own reason.
        {"Web page", general->webPageButton(), [&] { hooks.onOpenTranslateWebPages = viewHook; }, false},
        {"Document", general->fileButton(), [&] { hooks.onOpenFile = viewHook; }, true},
        {"Favourite", general->favoriteButton(), [&] { hooks.onFavorite = viewHook; }, true},
        {"Share", general->shareButton(), [&] { hooks.onShare = [](auto *, auto *) {}; }, true},
        {"Quick translator", window->agentButton(), [&] { hooks.showAgent = viewHook; }, true},
        {"Settings", window->settingsButton(),
         [] {
             QVMInterfaceFactory::shared().registerController<RecordingSettingsWindow>(
                 QStringLiteral("Settings"), QStringLiteral("QVMSettingsWindowController"));
         },
         true},
        {"Source language", window->fromLanguageButton(),
         [] {
             QVMInterfaceFactory::shared().registerSegue<RecordingSettingsWindow>(
                 QString::fromLatin1(QVGeneralWindowController::kLanguagesControllerSegue),
                 QVMInterfaceFactory::SegueKind::Show);
         },
         true},
        {"More apps (no address known)", window->moreAppsButton(), {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.control->isEnabled());
        // A link waits for its address, not for a window.
        const QString expected =
            c.control == window->moreAppsButton()
                ? QVMControlAvailability::disabledToolTip(
                      c.control->accessibleName(),
                      QVLocalizedString(QStringLiteral("_loc_reason_more_apps_no_address")))
                : QVMControlAvailability::missingToolTip(c.control->accessibleName());
        EXPECT_EQ(c.control->toolTip(), expected);
        // Pressing a disabled control does nothing, quietly.
        ScopedCrashReporter reporter;
        c.control->click();
        EXPECT_EQ(reporter.reporter->lines.size(), 0);
    }
    for (const Case &c : cases) {
        if (c.install)
            c.install();
    }
    // Nobody tells the window: it looks again when it becomes active.
    switchWindowsAndBack();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.install)
            continue;
        EXPECT_EQ(c.control->isEnabled(), c.enabledOnceInstalled);
        // Installed but off (the pair cannot use it): the tooltip says why.
        if (c.enabledOnceInstalled) {
            EXPECT_EQ(c.control->toolTip(), c.control->accessibleName());
        } else {
            EXPECT_TRUE(c.control->toolTip().startsWith(c.control->accessibleName() + QStringLiteral(": ")))
                << c.control->toolTip().toStdString();
        }
    }
    EXPECT_TRUE(window->toLanguageButton()->isEnabled());
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMSettingsWindowController"));
    // A removal from the factory is seen at once.
    EXPECT_FALSE(window->settingsButton()->isEnabled());
    QVMInterfaceFactory::shared().removeSegue(
        QString::fromLatin1(QVGeneralWindowController::kLanguagesControllerSegue));
}

TEST_F(FirstUseWindowTest, TabLeavesTheTextViewsAndCtrlTabInsertsATab) {
    openWindow();
    window->window()->activateWindow();
    qvtest::waitUntil([&] { return QApplication::activeWindow() == window->window(); }, 1000);
    PaddingTextView *source = general->fromTranslateTextView();
    PaddingTextView *result = general->toTranslateTextView();
    struct Case {
        const char *name;
        PaddingTextView *view;
        int key;
        Qt::KeyboardModifiers modifiers;
        bool focusStays;
        QString textAfter;
    } cases[] = {
        {"Tab in the source", source, Qt::Key_Tab, Qt::NoModifier, false, QString()},
        {"Shift+Tab in the source", source, Qt::Key_Backtab, Qt::ShiftModifier, false, QString()},
        {"Tab in the result", result, Qt::Key_Tab, Qt::NoModifier, false, QString()},
        {"Ctrl+Tab in the source", source, Qt::Key_Tab, Qt::ControlModifier, true, QStringLiteral("\t")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.view->clear();
        c.view->setFocus();
        ASSERT_TRUE(qvtest::waitUntil([&] { return c.view->hasFocus(); }, 1000));
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
        QApplication::sendEvent(c.view, &press);
        EXPECT_EQ(c.view->hasFocus(), c.focusStays);
        EXPECT_EQ(c.view->toPlainText(), c.textAfter);
    }

    // Tab reaches every control that can act, the language buttons and panel buttons included.
    QSet<QWidget *> reached;
    source->setFocus();
    for (int i = 0; i < 60 && QApplication::focusWidget(); ++i) {
        reached.insert(QApplication::focusWidget());
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &tab);
    }
    for (QAbstractButton *button : window->window()->findChildren<QAbstractButton *>()) {
        if (!button->isEnabled() || !button->isVisible() ||
            button->objectName().startsWith(QLatin1String("qt_")))
            continue;
        EXPECT_TRUE(reached.contains(button)) << button->accessibleName().toStdString();
    }
    EXPECT_TRUE(reached.contains(result));
}

TEST_F(FirstUseWindowTest, CtrlReturnTranslatesWhateverTheReturnSetting) {
    struct Case {
        bool returnTranslates;
        Qt::KeyboardModifiers modifiers;
        int requests;
    } cases[] = {{false, Qt::NoModifier, 0},
                 {false, Qt::ControlModifier, 1},
                 {true, Qt::ControlModifier, 1},
                 {true, Qt::NoModifier, 1}};
    openWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.returnTranslates << " " << int(c.modifiers));
        online->calls.clear();
        defaults().setBool(c.returnTranslates,
                           QString::fromLatin1(QVMGeneralViewController::kTranslateByEnterSetting));
        type(QStringLiteral("Good day"));
        advance(5000);
        press(general->fromTranslateTextView(), Qt::Key_Return, c.modifiers);
        EXPECT_EQ(online->calls.size(), c.requests);
    }
}

TEST_F(FirstUseWindowTest, MenusFollowTheDesktopConventions) {
    openWindow();
    QMenuBar *bar = window->window()->menuBar();
    const auto action = [bar](const char *name) {
        return bar->findChild<QAction *>(QString::fromLatin1(name));
    };
    struct Case {
        const char *name;
        QKeySequence::StandardKey key;
    } shortcuts[] = {
        {"quitAction", QKeySequence::Quit},       {"closeAction", QKeySequence::Close},
        {"_loc_menu_undo", QKeySequence::Undo},   {"_loc_menu_redo", QKeySequence::Redo},
        {"_loc_menu_cut", QKeySequence::Cut},     {"_loc_menu_copy", QKeySequence::Copy},
        {"_loc_menu_paste", QKeySequence::Paste}, {"_loc_menu_select_all", QKeySequence::SelectAll}};
    for (const Case &c : shortcuts) {
        SCOPED_TRACE(c.name);
        QAction *found = action(c.name);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->shortcut(), QKeySequence(c.key));
    }
    EXPECT_EQ(window->applicationMenu()->actions().last(), window->quitAction());

    // The Edit menu acts on the text view with the focus.
    window->window()->activateWindow();
    PaddingTextView *source = general->fromTranslateTextView();
    source->setFocus();
    ASSERT_TRUE(qvtest::waitUntil([&] { return source->hasFocus(); }, 1000));
    source->setPlainText(QStringLiteral("Guten Tag"));
    action("_loc_menu_select_all")->trigger();
    EXPECT_EQ(source->textCursor().selectedText(), QStringLiteral("Guten Tag"));
    action("_loc_menu_cut")->trigger();
    EXPECT_TRUE(source->toPlainText().isEmpty());
    action("_loc_menu_undo")->trigger();
    EXPECT_EQ(source->toPlainText(), QStringLiteral("Guten Tag"));

    // About names the version of the bundle.
    action("aboutAction")->trigger();
    auto *about = window->window()->findChild<QMessageBox *>(QStringLiteral("aboutBox"));
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->text().contains(QVMUtils::getAppVersionFromBundle()));
    about->close();

    // Close closes the main window.
    action("closeAction")->trigger();
    EXPECT_FALSE(window->window()->isVisible());
}

TEST_F(FirstUseWindowTest, EveryControlIsNamedAndTheSourceInvitesText) {
    openWindow();
    expectEveryControlNamed(window->window());
    EXPECT_EQ(window->swapButton()->accessibleName(), QStringLiteral("Swap languages"));
    EXPECT_EQ(window->swapButton()->toolTip(), QStringLiteral("Swap languages"));
    for (QComboBox *popUp : {general->partOfSpeechFromButton(), general->partOfSpeechToButton()}) {
        EXPECT_FALSE(popUp->accessibleName().isEmpty());
        // Off on an empty panel, saying why.
        EXPECT_TRUE(popUp->toolTip().startsWith(popUp->accessibleName() + QStringLiteral(": ")));
    }
    EXPECT_NE(general->partOfSpeechFromButton()->accessibleName(),
              general->partOfSpeechToButton()->accessibleName());
    EXPECT_FALSE(general->fromTranslateTextView()->placeholderText().isEmpty());
    // Both language buttons read "<language> ▾" with one blank, whatever the stored name.
    EXPECT_EQ(window->fromLanguageButton()->text(), QStringLiteral("English \u25BE"));
    EXPECT_EQ(window->toLanguageButton()->text(), QStringLiteral("German \u25BE"));
}

TEST_F(FirstUseWindowTest, EveryColourPairIsReadableLiveAndAtStartInBothAppearances) {
    // Live: the window opens light and the desktop switches.
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Light);
    openWindow();
    general->setTextAndTranslation(QStringLiteral("Hello"), QStringLiteral("Hallo"));
    expectReadableInBothPalettes(window->window());

    // At start: the desktop is dark before the window exists.
    delete window;
    window = nullptr;
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Dark);
    openWindow();
    expectReadable(window->window(), "dark at start");
    EXPECT_LT(window->window()->palette().color(QPalette::Window).lightness(), 128);
}

#include "QVGeneralWindowFirstUseTest.moc"
