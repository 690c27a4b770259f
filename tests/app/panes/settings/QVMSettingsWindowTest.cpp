#include "SettingsTestSupport.h"
#include "WindowChecks.h"

#include "panes/settings/QVMAuthPreviewViewController.h"
#include "ui/controls/CustomButton.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include <cmath>

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
        EXPECT_EQ(
            reporter.countLines(QStringLiteral("[ui] %1 not available").arg(QString::fromLatin1(c.name))), 1);
        auto *placeholder =
            content->tabController()->currentWidget()->findChild<QLabel *>(QStringLiteral("placeholder"));
        ASSERT_NE(placeholder, nullptr);
        EXPECT_EQ(placeholder->text(), QStringLiteral("This part is not available yet"));
    }
    // A pane registered later is taken by the next window.
    QVMInterfaceFactory::shared().registerController(QStringLiteral("Settings"),
                                                     QStringLiteral("QVMInfoViewController"),
                                                     [](QObject *parent) { return new QVMBaseVC(parent); });
    content = openSettings(3)->contentViewController();
    EXPECT_NE(qobject_cast<QVMBaseVC *>(content->paneForTab(3)), nullptr);
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMInfoViewController"));
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

namespace {

double luminance(const QColor &colour) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

// Light and dark: every text of the window reads at 4.5:1 or better. With
// QV_SHOTS_DIR set, each look is saved there as a PNG.
TEST_F(SettingsWindowTest, EveryTabReadsInTheLightAndTheDarkAppearance) {
    for (bool dark : {false, true}) {
        for (int tab : {0, 2}) {
            SCOPED_TRACE(QStringLiteral("%1 tab %2").arg(dark ? "dark" : "light").arg(tab).toStdString());
            QVMSettingsWindowController *opened = openSettings(tab);
            dark ? opened->wayWindow()->setVibrantDarkAppearance() : opened->wayWindow()->setAquaAppearance();
            qvtest::spin(20);
            for (QWidget *widget : opened->window()->findChildren<QWidget *>()) {
                const bool text = qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget) ||
                                  qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget);
                if (!text || !widget->isVisibleTo(opened->window()))
                    continue;
                const QPalette palette = widget->palette();
                QColor background = palette.color(widget->backgroundRole());
                if (qobject_cast<QAbstractButton *>(widget))
                    background = palette.color(QPalette::Button);
                if (auto *custom = qobject_cast<CustomButton *>(widget); custom && custom->BGColor())
                    background = *custom->BGColor();
                EXPECT_GE(contrast(palette.color(widget->foregroundRole()), background), 4.5)
                    << widget->metaObject()->className() << " " << widget->accessibleName().toStdString();
            }
            const QString shots = qEnvironmentVariable("QV_SHOTS_DIR");
            if (!shots.isEmpty())
                opened->window()->grab().save(QStringLiteral("%1/settings-tab%2-%3.png")
                                                  .arg(shots)
                                                  .arg(tab)
                                                  .arg(dark ? "dark" : "light"));
        }
    }
}

// Keyboard only: Tab visits every control of the window once, row by row, and
// each one says what it is and does.
TEST_F(SettingsWindowTest, TabReachesEveryControlInReadingOrder) {
    for (int tab : {0, 2}) {
        SCOPED_TRACE(tab);
        QVMSettingsWindowController *opened = openSettings(tab);
        QWidget *shown = opened->window();
        QApplication::setActiveWindow(shown);
        QList<QWidget *> expected;
        for (QWidget *widget : shown->findChildren<QWidget *>())
            if (widget->isVisibleTo(shown) && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
                !qobject_cast<QStackedWidget *>(widget))
                expected.append(widget);
        opened->wayWindow()->standardButtons().first()->setFocus(Qt::TabFocusReason);
        QList<QWidget *> visited;
        for (int i = 0; i < 2 * expected.size() && !visited.contains(QApplication::focusWidget()); ++i) {
            visited.append(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_EQ(visited.size(), expected.size());
        QPoint last(-1, -1);
        for (QWidget *widget : std::as_const(visited)) {
            SCOPED_TRACE(widget->metaObject()->className());
            ASSERT_TRUE(expected.contains(widget));
            EXPECT_FALSE(widget->toolTip().isEmpty());
            EXPECT_FALSE(widget->accessibleName().isEmpty());
            const QPoint at = widget->mapTo(shown, QPoint(0, widget->height() / 2));
            // Next row, or further right on the same row.
            EXPECT_TRUE(at.y() > last.y() + 4 || (qAbs(at.y() - last.y()) <= 4 && at.x() > last.x()))
                << widget->accessibleName().toStdString();
            last = at;
        }
    }
}

// The title bar's close button comes first in the focus chain: the window opens with the focus
// on the selected tab's button instead, so a first Space leaves it open.
TEST_F(SettingsWindowTest, OpensWithTheFocusOnItsTabNotOnTheCloseButton) {
    for (int tab : {0, 2, 4}) {
        SCOPED_TRACE(tab);
        QVMSettingsWindowController *opened = openSettings(tab);
        QApplication::setActiveWindow(opened->window());
        qvtest::spin(10);
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(focus, opened->contentViewController()->tabButtons().at(tab));
        EXPECT_FALSE(opened->wayWindow()->standardButtons().contains(qobject_cast<QToolButton *>(focus)));
        QTest::keyClick(focus, Qt::Key_Space);
        qvtest::spin(5);
        EXPECT_TRUE(opened->window()->isVisible());
        EXPECT_EQ(opened->contentViewController()->selectedTab(), tab);
    }
}

// The general tab as the walker sees it: every control named and with a tooltip, every text
// readable in both schemes and after a live switch.
TEST_F(SettingsWindowTest, GeneralTabNamesEveryControlAndReadsInBothSchemes) {
    QVMSettingsWindowController *opened = openSettings(0);
    qvtest::spin(10);
    uitest::expectEveryControlNamed(opened->window());
    uitest::expectReadableInBothPalettes(opened->window());
}
