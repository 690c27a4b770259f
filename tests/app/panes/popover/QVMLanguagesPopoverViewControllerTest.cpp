#include "PopoverTestSupport.h"

#include "panes/languages/QVMLanguagesListModel.h"
#include "panes/popover/QVMLanguagesPopoverViewController.h"
#include "ui/controls/QVTextField.h"

#include <QListView>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace popovertest;

namespace {

// The translator made by the installed factory entry, with its language list behind the buttons.
class LanguagesPopoverTest : public PopoverTest {
protected:
    void SetUp() override {
        PopoverTest::SetUp();
        installTrayPopover();
    }
    QVMLanguagesPopoverViewController *openList(uint side) {
        openPopover();
        popover->originalTextView()->setPlainText(QStringLiteral("Hello"));
        popover->typingTimer()->stop();
        (side == 1 ? popover->fromButton() : popover->toButton())->click();
        auto *list = qobject_cast<QVMLanguagesPopoverViewController *>(
            QVMStatusItem::sharedInstance().contentViewController());
        qvtest::spin(20);
        return list;
    }
    int rowOf(QVMLanguagesPopoverViewController *list, const QString &locale) const {
        const FVCompositeArray &data = list->dataSource();
        for (int row = data.countOfItems() - 1; row >= 0; --row)
            if (!data.isHeaderAtIndex(row) && data.languageAtIndex(row).localeIdentifier() == locale)
                return row;
        return -1;
    }
    QString recentFirst() const {
        const auto recent = QVSettingsService::defaultSettings().recentlyLanguages();
        return recent.isEmpty() ? QString() : QVLanguageRealm(recent.at(0)).localeIdentifier();
    }
};

} // namespace

TEST_F(LanguagesPopoverTest, HeadersAndArrowKeysChooseNothing) {
    QVMLanguagesPopoverViewController *list = openList(2);
    ASSERT_TRUE(list);
    const FVCompositeArray &data = list->dataSource();
    for (int row = 0; row < data.countOfItems(); ++row) {
        if (!data.isHeaderAtIndex(row))
            continue;
        SCOPED_TRACE(row);
        EXPECT_FALSE(list->chooseRow(row));
    }
    for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Down})
        press(list->searchField(), key);
    EXPECT_TRUE(list->languagesTable()->currentIndex().isValid());
    EXPECT_FALSE(data.isHeaderAtIndex(list->languagesTable()->currentIndex().row()));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("de_DE"));
    EXPECT_TRUE(analytics->withAction(QStringLiteral("List Language - Choice Language")).isEmpty());
    EXPECT_EQ(QVMStatusItem::sharedInstance().contentViewController(), list);
    EXPECT_TRUE(online->calls.isEmpty());
}

TEST_F(LanguagesPopoverTest, EscapeAndLosingTheWindowReturnToTheTranslatorUnchanged) {
    for (bool escape : {true, false}) {
        SCOPED_TRACE(escape);
        QPointer<QVMLanguagesPopoverViewController> list = openList(2);
        ASSERT_TRUE(list);
        if (escape)
            press(list->searchField(), Qt::Key_Escape);
        else
            emit QVMStatusItem::sharedInstance().statusItemWindow()->didResignKey();
        EXPECT_EQ(QVMStatusItem::sharedInstance().contentViewController(), popover);
        EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("de_DE"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(list);
        QVMStatusItem::sharedInstance().reset();
        delete window;
        window = nullptr;
    }
}

TEST_F(LanguagesPopoverTest, AChoiceIsStoredAndOnlyTheTargetSideTranslates) {
    struct Case {
        uint side;
        QString locale;
        bool byReturn;
        QString eventKey;
        int requests;
    } cases[] = {
        {1, QStringLiteral("fr_FR"), true, QStringLiteral("panel_language_from"), 0},
        {2, QStringLiteral("fr_FR"), false, QStringLiteral("panel_language_to"), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.side);
        setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
        analytics->events.clear();
        online->calls.clear();
        QVMLanguagesPopoverViewController *list = openList(c.side);
        ASSERT_TRUE(list);
        const QString current = c.side == 1 ? QStringLiteral("en_GB") : QStringLiteral("de_DE");
        auto *model = static_cast<QVMLanguagesListModel *>(list->languagesTable()->model());
        EXPECT_TRUE(
            model->data(model->index(rowOf(list, current)), QVMLanguagesListModel::CurrentRole).toBool());
        if (c.byReturn) {
            list->searchField()->setText(QStringLiteral("Fren"));
            list->updateDataWithSearchText(QStringLiteral("Fren"));
            press(list->searchField(), Qt::Key_Return);
        } else {
            EXPECT_TRUE(list->chooseRow(rowOf(list, c.locale)));
        }
        EXPECT_EQ(c.side == 1 ? QVSettingsService::languageFrom() : QVSettingsService::languageTo(),
                  c.locale);
        EXPECT_EQ(recentFirst(), c.locale);
        const auto events = analytics->withAction(QStringLiteral("List Language - Choice Language"));
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events.at(0).category, QStringLiteral("Agent"));
        EXPECT_EQ(events.at(0).params, (QVariantMap{{c.eventKey, c.locale}}));
        EXPECT_EQ(QVMStatusItem::sharedInstance().contentViewController(), popover);
        ASSERT_EQ(online->calls.size(), c.requests);
        if (c.requests) {
            EXPECT_EQ(online->calls.at(0).text, QStringLiteral("Hello"));
            EXPECT_EQ(online->calls.at(0).to, QStringLiteral("fr_FR"));
        }
        QVMStatusItem::sharedInstance().reset();
        delete window;
        window = nullptr;
    }
}

TEST_F(LanguagesPopoverTest, AStripChoiceIsStoredWithoutEventRecentEntryOrReturn) {
    QVMLanguagesPopoverViewController *list = openList(2);
    ASSERT_TRUE(list);
    const QString recentBefore = recentFirst();
    list->touchBarViewController()->selectItemAtIndex(rowOf(list, QStringLiteral("fr_FR")));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("fr_FR"));
    EXPECT_EQ(recentFirst(), recentBefore);
    EXPECT_TRUE(analytics->withAction(QStringLiteral("List Language - Choice Language")).isEmpty());
    EXPECT_EQ(QVMStatusItem::sharedInstance().contentViewController(), list);
    ASSERT_EQ(online->calls.size(), 1);
    EXPECT_EQ(online->calls.at(0).to, QStringLiteral("fr_FR"));
}
