#include "SettingsTestSupport.h"

#include "panes/settings/QVMAuthPreviewViewController.h"
#include "ui/QVMInterfaceFactory.h"

#include <QAbstractButton>
#include <QLabel>
#include <QStackedWidget>
#include <QTest>

using namespace settingstest;

namespace {

class SettingsWindowTest : public SettingsTest {};

QVMSettingsWindowController *openedFrom(QVGeneralWindowController *main) {
    return qobject_cast<QVMSettingsWindowController *>(main->settingsController());
}

} // namespace

TEST_F(SettingsWindowTest, EachOpenerLeavesOneWindowOnTheTabAskedForLast) {
    openWindow();
    struct Case {
        const char *name;
        QList<int> opens;
        int tab;
        const char *action;
    } cases[] = {
        {"settings button", {0}, 0, "General"},
        {"missing package", {1}, 1, "Offline"},
        {"registration offer", {2}, 2, "Account - Info"},
        {"opened twice", {1, 2}, 2, "Account - Info"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        analytics->events.clear();
        for (int tab : c.opens)
            window->showSettingsScreenWithTab(tab);
        qvtest::spin(5);
        QVMSettingsWindowController *opened = openedFrom(window);
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(visibleSettingsWindows(), 1);
        EXPECT_EQ(opened->contentViewController()->selectedTab(), c.tab);
        EXPECT_EQ(opened->contentViewController()->tabController()->currentIndex(), c.tab);
        // One event per opening, never two for the tab just opened.
        EXPECT_EQ(events(QString::fromLatin1(c.action)).size(), 1);
        // Centred on the main window.
        const QPoint mainCentre = window->window()->frameGeometry().center();
        EXPECT_LE((opened->window()->frameGeometry().center() - mainCentre).manhattanLength(), 2);
        EXPECT_EQ(opened->window()->windowTitle(), QStringLiteral("Settings"));
        EXPECT_DOUBLE_EQ(opened->wayWindow()->titleBarHeight(), 44.0);
    }
    // Closing it hides the window and lets the controller go.
    QPointer<QVMSettingsWindowController> last = openedFrom(window);
    last->close();
    flushDeletes();
    EXPECT_TRUE(last.isNull());
    EXPECT_EQ(visibleSettingsWindows(), 0);
}

TEST_F(SettingsWindowTest, EveryTabChangeSendsOneEventAndHighlightsOneButton) {
    struct Case {
        const char *name;
        qint64 tabToOpen;
        int tab;
        const char *action;
    } cases[] = {
        {"outside the tabs", 9, 0, "General"},
        {"negative", -1, 0, "General"},
        {"account", 2, 2, "Account - Info"},
        {"shortcuts", 5, 5, "Shortcuts"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        analytics->events.clear();
        QVMSettingsController *content = openSettings(c.tabToOpen)->contentViewController();
        ASSERT_EQ(analytics->events.size(), 1);
        EXPECT_EQ(analytics->events.first().category, QStringLiteral("Settings screen"));
        EXPECT_EQ(analytics->events.first().action, QString::fromLatin1(c.action));
        EXPECT_EQ(content->tabController()->currentIndex(), c.tab);
        int highlighted = 0;
        for (QAbstractButton *button : content->tabButtons()) {
            const bool on = button->palette().color(QPalette::ButtonText) == QColor(Qt::white);
            highlighted += on ? 1 : 0;
            EXPECT_EQ(on, button == content->tabButtons().at(c.tab));
            EXPECT_FALSE(button->toolTip().isEmpty());
            EXPECT_EQ(button->accessibleName(), button->text());
        }
        EXPECT_EQ(highlighted, 1);
    }
    // The selected button sends its event again; selectTab switches an open window.
    QVMSettingsController *content = settings->contentViewController();
    analytics->events.clear();
    content->tabButtons().at(5)->click();
    settings->selectTab(1);
    ASSERT_EQ(analytics->events.size(), 2);
    EXPECT_EQ(analytics->events.at(0).action, QStringLiteral("Shortcuts"));
    EXPECT_EQ(analytics->events.at(1).action, QStringLiteral("Offline"));
    EXPECT_EQ(content->tabController()->currentIndex(), 1);
    EXPECT_EQ(QVMSettingsController::trackActionForIndex(7), QString());
}

TEST_F(SettingsWindowTest, PanesAreMadeWhenFirstShownAndMissingOnesSayWhichPart) {
    uitest::ScopedCrashReporter reporter;
    QVMSettingsController *content = openSettings(0)->contentViewController();
    for (int tab = 1; tab < QVMSettingsController::kTabCount; ++tab)
        EXPECT_EQ(content->paneForTab(tab), nullptr) << tab;
    EXPECT_EQ(reporter.reporter->lines.filter(QStringLiteral("not available")).size(), 0);
    struct Case {
        int tab;
        const char *name;
    } cases[] = {{1, "QVMOfflineViewController"},
                 {3, "QVMInfoViewController"},
                 {4, "QVMAboutViewController"},
                 {5, "QVMShortcutsSettingsViewController"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        content->tabButtonPressed(c.tab);
        content->tabButtonPressed(c.tab); // made once
        EXPECT_EQ(reporter.countLines(QStringLiteral("[ui] %1 not available").arg(QString::fromLatin1(c.name))), 1);
        auto *placeholder = content->tabController()->currentWidget()->findChild<QLabel *>(QStringLiteral("placeholder"));
        ASSERT_NE(placeholder, nullptr);
        EXPECT_EQ(placeholder->text(), QStringLiteral("This part is not available yet"));
    }
    // A pane registered later is taken by the next window.
    QVMInterfaceFactory::shared().registerController(QStringLiteral("Settings"), QStringLiteral("QVMInfoViewController"),
                                                     [](QObject *parent) { return new QVMBaseVC(parent); });
    content = openSettings(3)->contentViewController();
    EXPECT_NE(qobject_cast<QVMBaseVC *>(content->paneForTab(3)), nullptr);
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"), QStringLiteral("QVMInfoViewController"));
}

TEST_F(SettingsWindowTest, RegistrationOfferReachesTheAccountPaneLoadedBySelectTab) {
    openWindow();
    window->showSettingsScreenWithTab(2);
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVMAuthPreviewViewController::kRegistrationOfferAction));
    auto *account = qobject_cast<QVMAuthPreviewViewController *>(
        openedFrom(window)->contentViewController()->paneForTab(2));
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(account->face(), QVMAuthPreviewViewController::Face::SignUp);
    EXPECT_TRUE(account->usernameView()->isVisibleTo(account->view()));
}

TEST_F(SettingsWindowTest, KeyboardMovesBetweenTabsAndClosesTheWindow) {
    QVMSettingsWindowController *opened = openSettings(0);
    QWidget *shown = opened->window();
    QApplication::setActiveWindow(shown);
    opened->contentViewController()->tabButtons().at(0)->setFocus();
    struct Case {
        QKeySequence keys;
        int tab;
    } cases[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                 {QKeySequence(Qt::CTRL | Qt::Key_Tab), 2},
                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keys.toString().toStdString());
        QTest::keySequence(QApplication::focusWidget() ? QApplication::focusWidget() : shown, c.keys);
        EXPECT_EQ(opened->contentViewController()->selectedTab(), c.tab);
    }
    QPointer<QVMSettingsWindowController> guard(opened);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : shown, Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(guard.isNull());
}
