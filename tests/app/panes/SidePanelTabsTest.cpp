#include "PanesTestSupport.h"

#include "panes/history/HistoryAndLanguagesTabViewController.h"
#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/history/QVMTransitContenerController.h"
#include "panes/languages/QVMLanguagesViewController.h"

#include "services/graphics/QVMStyleService.h"
#include "ui/controls/CustomButton.h"
#include "ui/controls/QVMCustomSelectionColorTableView.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"
#include "ui/style/QVMColor.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

using namespace panestest;

namespace {

const QString kState = QString::fromLatin1(QVMAdditionalTabsController::kUserDefaultAdditionalState);

class ScopedScheme {
public:
    explicit ScopedScheme(bool dark) : m_old(QVMStyleService::shared().desktopColorScheme()) {
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                             : QVMStyleService::ColorScheme::Light);
    }
    ~ScopedScheme() { QVMStyleService::shared().setDesktopColorScheme(m_old); }

private:
    QVMStyleService::ColorScheme m_old;
};

} // namespace

TEST_F(PanesTest, StoredTabIsRestoredAndUnreadableStatesOpenTheDictionary) {
    const struct {
        QVariant stored; // invalid: a fresh install
        uint state;
        int page;
        const char *notification; // null: none
        const char *event;
        qint64 storedAfter;
    } cases[] = {
        {QVariant(7), 2, 1, nullptr, "Dictionary panel", 2},
        {QVariant(QStringLiteral("bookmarks")), 2, 1, nullptr, "Dictionary panel", 2},
        {QVariant(), 2, 1, nullptr, "Dictionary panel", 2},
        {QVariant(1), 1, 0, QVMHistoryViewController::kShowBookmarksNotification, "Bookmarks panel", 1},
        {QVariant(0), 0, 0, QVMHistoryViewController::kShowHistoryNotification, "History panel", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        defaults().setObject(c.stored, kState);
        NotificationCounter bookmarks(QVMHistoryViewController::kShowBookmarksNotification);
        NotificationCounter histories(QVMHistoryViewController::kShowHistoryNotification);
        analytics->events.clear();
        QVMAdditionalTabsController group;
        group.view();
        EXPECT_EQ(group.currentAdditionalState(), c.state);
        EXPECT_EQ(group.innerPage(), c.page);
        EXPECT_EQ(defaults().integerForKey(kState), c.storedAfter);
        EXPECT_EQ(bookmarks.count + histories.count, c.notification ? 1 : 0);
        EXPECT_EQ(analytics->withAction(QString::fromLatin1(c.event)).size(), 1);
        // Exactly one tab is on, and the history list is in the matching mode.
        EXPECT_EQ(group.historyButton()->isChecked(), c.state == 0);
        EXPECT_EQ(group.bookmarksButton()->isChecked(), c.state == 1);
        EXPECT_EQ(group.dictionaryButton()->isChecked(), c.state == 2);
        if (c.state < 2) {
            EXPECT_EQ(group.historyViewController()->isHistoryMode(), c.state == 0);
        }
    }
}

TEST_F(PanesTest, TabsSwitchByClickAndSurviveARelaunch) {
    {
        QVMAdditionalTabsController group;
        group.view()->show();
        group.bookmarksButton()->click();
        EXPECT_FALSE(group.historyViewController()->isHistoryMode());
        EXPECT_EQ(defaults().integerForKey(kState), 1);
        // The dictionary page is the dictionary pane, made by name.
        group.dictionaryButton()->click();
        EXPECT_EQ(group.view()->findChild<QLabel *>(QStringLiteral("dictionaryPlaceholder")), nullptr);
        auto *search = group.view()->findChild<QLineEdit *>(QStringLiteral("searchField"));
        ASSERT_NE(search, nullptr);
        EXPECT_TRUE(search->isVisibleTo(group.view()));
        group.bookmarksButton()->click();
    }
    NotificationCounter bookmarks(QVMHistoryViewController::kShowBookmarksNotification);
    QVMAdditionalTabsController relaunched;
    relaunched.view();
    EXPECT_EQ(relaunched.currentAdditionalState(), 1u);
    EXPECT_EQ(bookmarks.count, 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("Bookmarks panel")).size(), 3);
}

TEST_F(PanesTest, TabButtonsTakeThePaletteOfTheAppearance) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        ScopedScheme scheme(dark);
        defaults().setInteger(0, kState);
        QVMAdditionalTabsController group;
        group.view();
        const QColor active = group.historyButton()->BGColor().value_or(QColor());
        const QColor inactive = group.bookmarksButton()->BGColor().value_or(QColor());
        if (dark) {
            EXPECT_EQ(active, QVMColor::panelBackgroundDarkColor());
            EXPECT_EQ(inactive, QVMColor::tabBackgroundDarkColor());
        } else {
            EXPECT_EQ(active, group.view()->palette().color(QPalette::Base));
            EXPECT_EQ(inactive, QColor::fromRgbF(0.9453125f, 0.953125f, 0.96484375f));
        }
        // Readable text on both.
        for (CustomButton *button : {group.historyButton(), group.bookmarksButton()}) {
            const QColor text = button->TextColor().value_or(QColor());
            const QColor back = button->BGColor().value_or(QColor());
            EXPECT_GT(qAbs(text.lightnessF() - back.lightnessF()), 0.45) << button->text().toStdString();
        }
        // A later change of the appearance repaints them.
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Light
                                                             : QVMStyleService::ColorScheme::Dark);
        qvtest::spin(2);
        EXPECT_EQ(group.bookmarksButton()->BGColor().value_or(QColor()) == QVMColor::tabBackgroundDarkColor(),
                  !dark);
    }
}

TEST_F(PanesTest, PanelRequestsReachTheirPages) {
    QVMTransitContenerController container;
    container.view();
    HistoryAndLanguagesTabViewController *tabs = container.tabViewController();
    EXPECT_EQ(tabs->currentPage(), 0);
    // The list is made when first asked for, not with the panel.
    EXPECT_EQ(tabs->findChild<QVMLanguagesViewController *>(), nullptr);
    ASSERT_TRUE(QMetaObject::invokeMethod(&container, "showLanguagesForSide", Q_ARG(uint, 2u)));
    EXPECT_EQ(tabs->currentPage(), 1);
    EXPECT_EQ(tabs->languagesViewController()->sideIndex(), 2u);
    // A choice on the page returns to the group.
    setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    const int french = [&] {
        const FVCompositeArray &list = tabs->languagesViewController()->dataSource();
        for (int i = 0; i < list.countOfItems(); ++i)
            if (list.languageAtIndex(i).localeIdentifier() == QLatin1String("fr_FR"))
                return i;
        return -1;
    }();
    ASSERT_TRUE(tabs->languagesViewController()->chooseRow(french));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("fr_FR"));
    EXPECT_EQ(tabs->currentPage(), 0);
    EXPECT_TRUE(container.toLanguageButton()->text().startsWith(QStringLiteral("French")));

    ASSERT_TRUE(QMetaObject::invokeMethod(&container, "showDictionaryOrConjugations"));
    EXPECT_EQ(tabs->additionalTabs()->currentAdditionalState(), 2u);
    ASSERT_TRUE(QMetaObject::invokeMethod(&container, "showHistory"));
    EXPECT_EQ(tabs->currentPage(), 0);
}

TEST_F(PanesTest, TheMainWindowCarriesThePanel) {
    openWindow();
    auto *split = window->findChild<QVMGeneralAndHistorySplitController *>();
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->itemCount(), 2);
    auto *container = qobject_cast<QVMTransitContenerController *>(split->delegateManagePanelLanguage());
    ASSERT_NE(container, nullptr);
    // The panel's language button goes through the split view to the list.
    container->fromLanguageButton()->click();
    EXPECT_EQ(container->tabViewController()->currentPage(), 1);
    EXPECT_EQ(container->tabViewController()->languagesViewController()->sideIndex(), 1u);
    // And a choice there updates the toolbar.
    EXPECT_EQ(container->tabViewController()->languagesViewController()->delegateLanguage(), window);
}

TEST_F(PanesTest, EveryControlOfThePanelIsNamedAndTabFollowsReadingOrder) {
    save(100, QStringLiteral("one"));
    QVMTransitContenerController container;
    QWidget *root = container.view();
    root->resize(360, 700);
    root->show();
    qvtest::spin(5);
    for (const auto &show : {std::function<void()>([&] { container.showHistory(); }),
                             std::function<void()>([&] { container.showLanguagesForSide(1); })}) {
        show();
        qvtest::spin(2);
        for (QWidget *control : root->findChildren<QWidget *>()) {
            if (!control->isVisibleTo(root) || control->focusPolicy() == Qt::NoFocus ||
                !(qobject_cast<QAbstractButton *>(control) || qobject_cast<QLineEdit *>(control) ||
                  qobject_cast<QAbstractItemView *>(control)))
                continue;
            SCOPED_TRACE(control->metaObject()->className());
            EXPECT_FALSE(control->accessibleName().isEmpty());
            EXPECT_FALSE(control->toolTip().isEmpty()) << control->accessibleName().toStdString();
        }
    }
    // Tab goes through the panel from top left to bottom right, every tab included.
    container.showHistory();
    QVMAdditionalTabsController *group = container.tabViewController()->additionalTabs();
    group->showBookmarks();
    const QList<QWidget *> expected = {container.fromLanguageButton(),
                                       container.toLanguageButton(),
                                       container.historyToggle(),
                                       group->historyButton(),
                                       group->bookmarksButton(),
                                       group->dictionaryButton(),
                                       group->historyViewController()->historyTable()};
    QList<QWidget *> chain;
    QWidget *next = expected.first();
    while (chain.size() < expected.size()) {
        chain << next;
        do {
            next = next->nextInFocusChain();
        } while (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisibleTo(root));
    }
    EXPECT_EQ(chain, expected);
    // Exactly one tab is on, also after clicking the one that is on.
    group->bookmarksButton()->click();
    EXPECT_TRUE(group->bookmarksButton()->isChecked());
    EXPECT_FALSE(group->historyButton()->isChecked() || group->dictionaryButton()->isChecked());
}
