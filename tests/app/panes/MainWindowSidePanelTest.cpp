// The side panel inside the main window: the pair it names, the page its
// header toggle opens, the language lists' choices and the history by keyboard.
#include "PanesTestSupport.h"

#include "panes/history/HistoryAndLanguagesTabViewController.h"
#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/history/QVMHistoryListModel.h"
#include "panes/history/QVMHistoryViewController.h"
#include "panes/history/QVMTransitContenerController.h"
#include "panes/languages/QVMLanguagesViewController.h"

#include "WindowChecks.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/controls/CustomButton.h"
#include "ui/controls/QVMCustomSelectionColorTableView.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"

#include <QApplication>
#include <QToolButton>

using namespace panestest;

namespace {

class MainWindowSidePanelTest : public PanesTest {
protected:
    QVMTransitContenerController *panel() {
        auto *split = window->findChild<QVMGeneralAndHistorySplitController *>();
        return split ? qobject_cast<QVMTransitContenerController *>(split->delegateManagePanelLanguage())
                     : nullptr;
    }
    static QString pair() {
        return QVSettingsService::languageFrom() + " > " + QVSettingsService::languageTo();
    }
};

} // namespace

TEST_F(MainWindowSidePanelTest, ChoosingTheOtherSidesLanguageSwapsThePairOrIsRefused) {
    const struct {
        const char *from, *to;
        uint side;
        const char *chosen;
        const char *expected;
        int announced;
        int alertsShown;
    } cases[] = {
        {"en_GB", "de_DE", 1, "de_DE", "de_DE > en_GB", 1, 0},
        {"en_GB", "de_DE", 2, "en_GB", "de_DE > en_GB", 1, 0},
        // Automatic detection never names a target: nothing can trade places.
        {"auto-detection", "de_DE", 1, "de_DE", "auto-detection > de_DE", 0, 1},
        {"en_GB", "de_DE", 2, "fr_FR", "en_GB > fr_FR", 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.from) + " > " + c.to + ", side " + std::to_string(c.side) + " " +
                     c.chosen);
        setPair(QString::fromLatin1(c.from), QString::fromLatin1(c.to));
        alerts->shown.clear();
        NotificationCounter posted(QVMLanguagesViewController::kDidSelectLanguageNotification);
        QVMLanguagesViewController picker;
        picker.setSideIndex(c.side);
        picker.itemSelected(language(QString::fromLatin1(c.chosen)), c.side);
        EXPECT_EQ(pair(), QString::fromLatin1(c.expected));
        EXPECT_EQ(posted.count, c.announced);
        EXPECT_EQ(alerts->shown.size(), c.alertsShown);
        EXPECT_NE(QVSettingsService::languageFrom(), QVSettingsService::languageTo());
    }
}

TEST_F(MainWindowSidePanelTest, PanelLanguageButtonsFollowEveryChangeOfThePair) {
    setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    openWindow();
    QVMTransitContenerController *container = panel();
    ASSERT_NE(container, nullptr);
    const QVTranslationRealm french = save(100, QStringLiteral("bonjour"), false, true, "fr_FR");
    const struct {
        const char *how;
        std::function<void()> change;
        const char *from, *to;
    } cases[] = {
        {"toolbar swap", [this] { window->swapButton()->click(); }, "German", "English (UK)"},
        {"a history row", [&] { general->showHistory(french); }, "English (UK)", "French (France)"},
        {"another window's choice",
         [this] { ASSERT_FALSE(QVSettingsService::setLanguageTo(language("ar_AE"))); }, "English (UK)",
         "Arabic"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        c.change();
        qvtest::spin(5);
        EXPECT_EQ(container->fromLanguageButton()->text(),
                  QString::fromUtf8(c.from) + QStringLiteral(" \u25BE"));
        EXPECT_EQ(container->toLanguageButton()->text(), QString::fromUtf8(c.to) + QStringLiteral(" \u25BE"));
    }
}

TEST_F(MainWindowSidePanelTest, HeaderToggleNamesThePageItsClickOpens) {
    openWindow();
    QVMTransitContenerController *container = panel();
    ASSERT_NE(container, nullptr);
    QVMAdditionalTabsController *group = container->tabViewController()->additionalTabs();
    // A first start shows the dictionary.
    ASSERT_EQ(group->currentAdditionalState(), uint(QVMAdditionalTabsController::Dictionary));
    const struct {
        const char *step;
        std::function<void()> act;
        uint state;
        const char *toggle;
    } steps[] = {
        {"first start", [] {}, QVMAdditionalTabsController::Dictionary, "History"},
        {"toggle", [&] { container->historyToggle()->click(); }, QVMAdditionalTabsController::History,
         "Dictionary"},
        {"toggle again", [&] { container->historyToggle()->click(); },
         QVMAdditionalTabsController::Dictionary, "History"},
        {"Bookmarks tab", [&] { group->bookmarksButton()->click(); }, QVMAdditionalTabsController::Bookmarks,
         "Dictionary"},
        {"toggle from Bookmarks", [&] { container->historyToggle()->click(); },
         QVMAdditionalTabsController::Dictionary, "History"},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        EXPECT_EQ(container->tabViewController()->currentPage(), 0);
        EXPECT_EQ(group->currentAdditionalState(), s.state);
        EXPECT_EQ(container->historyToggle()->text(), QString::fromLatin1(s.toggle));
    }
}

TEST_F(MainWindowSidePanelTest, HistoryKeepsTheKeyboardWhileItsRecordsShow) {
    save(100, QStringLiteral("one"));
    save(200, QStringLiteral("two"));
    save(300, QStringLiteral("three"));
    openWindow();
    QVMTransitContenerController *container = panel();
    ASSERT_NE(container, nullptr);
    container->tabViewController()->additionalTabs()->showHistory();
    QVMHistoryViewController *history =
        container->tabViewController()->additionalTabs()->historyViewController();
    QWidget *list = history->historyTable();
    window->window()->activateWindow();
    list->setFocus(Qt::TabFocusReason);
    qvtest::spin(5);
    ASSERT_EQ(QApplication::focusWidget(), list);
    const auto idShown = [this] { return general->translateObject().idTranslation().value_or(0); };
    const struct {
        int key;
        qint64 shown;             // the record on the main view afterwards
        bool star;                // of record 100 afterwards
    } keys[] = {
        {Qt::Key_Down, 200, false}, // the list starts on its first row
        {Qt::Key_Down, 100, false},
        {Qt::Key_Space, 100, true},
        {Qt::Key_Space, 100, false},
        {Qt::Key_Up, 200, false},
    };
    for (const auto &k : keys) {
        SCOPED_TRACE(k.key);
        press(QApplication::focusWidget(), k.key);
        qvtest::spin(5);
        EXPECT_EQ(QApplication::focusWidget(), list) << "the keyboard stays in the list";
        EXPECT_EQ(idShown(), k.shown);
        EXPECT_EQ(recordAt(100).isFavorite().value_or(false), k.star);
        EXPECT_EQ(general->fromTranslateTextView()->toPlainText().contains(QLatin1Char(' ')), false);
    }
    // The row's own buttons say what they do, apart from the list.
    ASSERT_NE(history->favoriteButton(), nullptr);
    for (QToolButton *button : {history->favoriteButton(), history->removeButton()}) {
        EXPECT_FALSE(button->accessibleName().isEmpty());
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_NE(button->toolTip(), list->toolTip());
    }
    press(list, Qt::Key_Delete);
    qvtest::spin(5);
    EXPECT_TRUE(recordAt(200).isNull());
    EXPECT_EQ(QApplication::focusWidget(), list);
}

TEST_F(MainWindowSidePanelTest, TheWindowWithItsPanelReadsInBothSchemesAndAfterALiveSwitch) {
    save(100, QStringLiteral("one"));
    openWindow();
    general->setTextAndTranslation(QStringLiteral("The dog runs."), QStringLiteral("Der Hund rennt."));
    for (const auto first : {QVMStyleService::ColorScheme::Dark, QVMStyleService::ColorScheme::Light}) {
        SCOPED_TRACE(int(first));
        QVMStyleService::shared().setDesktopColorScheme(first);
        qvtest::spin(10);
        uitest::expectReadableInBothPalettes(window->window());
        uitest::expectEveryControlNamed(window->window());
    }
}
