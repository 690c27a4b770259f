#include "PanesTestSupport.h"

#include "panes/history/QVMHistoryListModel.h"
#include "panes/history/QVMHistoryTableViewCell.h"
#include "panes/history/QVMHistoryViewController.h"

#include "core/settings/QVAuthService.h"
#include "services/favourites/QVFavoritesSync.h"
#include "ui/controls/QVMCustomSelectionColorTableView.h"

#include <QHelpEvent>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <optional>

using namespace panestest;
using qvtest::FakeReply;

namespace {

const QString kFavorite = QStringLiteral("/v2/api/user/favorite");
const QString kFavoriteById = QStringLiteral("/v2/api/user/favorite/*");
const QString kMultiple = QStringLiteral("/v2/api/user/multipleFavorites");
const QString kFavorites = QStringLiteral("/v2/api/user/favorites");

class HistoryPanelTest : public PanesOnlineTest {
protected:
    void TearDown() override {
        delete history;
        QVAuthService::clearAuthToken();
        platform::UserDefaults::standard().removeObject(
            QString::fromLatin1(QVFavoritesSync::kPendingDeletesKey));
        PanesOnlineTest::TearDown();
    }
    QVMHistoryViewController *open() {
        history = new QVMHistoryViewController;
        history->view()->resize(360, 600);
        history->view()->show();
        qvtest::spin(5);
        return history;
    }
    QVMHistoryListModel *model() const { return history->model(); }
    qint64 idAt(int row) const {
        return model()->index(row).data(QVMHistoryListModel::IdentifierRole).toLongLong();
    }
    QList<qint64> ids() const {
        QList<qint64> out;
        for (int row = 0; row < model()->recordCount(); ++row)
            out << idAt(row);
        return out;
    }
    void signIn() { QVAuthService::setAuthToken(QStringLiteral("account-token")); }

    QVMHistoryViewController *history = nullptr;
};

} // namespace

TEST_F(HistoryPanelTest, EmptyListShowsAnUnselectablePlaceholderInBothModes) {
    open();
    NotificationCounter shown(QVMHistoryViewController::kActionHistoryNotification);
    const struct {
        const char *notification;
        const char *text;
    } cases[] = {{QVMHistoryViewController::kShowBookmarksNotification,
                  "Your favourite translations will appear here."},
                 {QVMHistoryViewController::kShowHistoryNotification, "Your translations will appear here."}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.notification);
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(c.notification));
        EXPECT_EQ(history->state(), 0);
        ASSERT_EQ(model()->rowCount(), 1);
        const QModelIndex placeholder = model()->index(0);
        EXPECT_EQ(placeholder.data().toString(), QString::fromLatin1(c.text));
        EXPECT_FALSE(model()->flags(placeholder) & Qt::ItemIsSelectable);
        history->historyTable()->setCurrentIndex(placeholder);
        emit history->historyTable()->clicked(placeholder);
        EXPECT_EQ(history->highlightedRow(), -1);
        EXPECT_EQ(history->favoriteButton(), nullptr); // no row buttons on the placeholder
    }
    EXPECT_EQ(shown.count, 0);
}

TEST_F(HistoryPanelTest, ChangesUpdateRowsOneByOneAndTheMarkFollowsItsRecord) {
    save(100, QStringLiteral("one"));
    save(200, QStringLiteral("two"));
    save(300, QStringLiteral("three"));
    open();
    ASSERT_EQ(ids(), QList<qint64>({300, 200, 100}));
    int resets = 0, inserted = 0, removed = 0;
    QObject::connect(model(), &QAbstractItemModel::modelReset, model(), [&] { ++resets; });
    QObject::connect(model(), &QAbstractItemModel::rowsInserted, model(), [&] { ++inserted; });
    QObject::connect(model(), &QAbstractItemModel::rowsRemoved, model(), [&] { ++removed; });

    // A record deleted above the marked one leaves the mark on its record.
    history->historyTable()->setFocus();
    emit history->historyTable()->clicked(model()->index(1));
    ASSERT_EQ(history->highlightedRow(), 1);
    ASSERT_FALSE(QVDataManager::sharedInstance().removeObjectFromHistory(recordAt(300)));
    qvtest::spin(5);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(history->highlightedRow(), 0);
    EXPECT_EQ(model()->highlightedIdentifier(), 200);

    // A translation saved elsewhere is one new row at the top, marked.
    save(400, QStringLiteral("four"));
    qvtest::spin(5);
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(ids(), QList<qint64>({400, 200, 100}));
    EXPECT_EQ(history->highlightedRow(), 0);
    EXPECT_EQ(resets, 0);
}

TEST_F(HistoryPanelTest, KeyboardShowsRecordsStarsAndRemoves) {
    save(100, QStringLiteral("one"));
    save(200, QStringLiteral("two"));
    open();
    NotificationCounter shown(QVMHistoryViewController::kActionHistoryNotification);
    QWidget *table = history->historyTable();
    table->setFocus();
    history->historyTable()->setCurrentIndex(model()->index(0));
    press(table, Qt::Key_Down);
    ASSERT_EQ(shown.count, 1);
    EXPECT_EQ(platform::Object(shown.last.value(QStringLiteral("object")).value<platform::Object>())
                  .value(QStringLiteral("idTranslation"))
                  .toLongLong(),
              100);
    // The current row has real buttons with names.
    ASSERT_NE(history->favoriteButton(), nullptr);
    EXPECT_EQ(history->favoriteButton()->accessibleName(), QStringLiteral("Favourite"));
    EXPECT_EQ(history->removeButton()->accessibleName(), QStringLiteral("Remove from history"));
    EXPECT_FALSE(history->favoriteButton()->isChecked());

    press(table, Qt::Key_Space);
    qvtest::spin(5);
    EXPECT_EQ(recordAt(100).isFavorite(), true);
    EXPECT_TRUE(history->favoriteButton()->isChecked());
    press(table, Qt::Key_Delete);
    qvtest::spin(5);
    EXPECT_TRUE(recordAt(100).isNull());
    EXPECT_EQ(ids(), QList<qint64>({200}));
    // Signed out: favourites stay local.
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(HistoryPanelTest, UnstarringInBookmarksRemovesTheRowStarringInHistoryKeepsIt) {
    save(100, QStringLiteral("one"), true);
    save(200, QStringLiteral("two"));
    open();
    history->showBookmarks();
    ASSERT_EQ(ids(), QList<qint64>({100}));
    history->onIsFavorit(0);
    EXPECT_TRUE(qvtest::waitUntil([&] { return history->state() == 0; }));
    history->showHistory();
    history->onIsFavorit(0); // 200
    qvtest::spin(5);
    EXPECT_EQ(ids(), QList<qint64>({200, 100}));
    EXPECT_TRUE(model()->index(0).data(QVMHistoryListModel::FavouriteRole).toBool());
}

TEST_F(HistoryPanelTest, SwitchingByNotificationClearsTheMarkBySegmentKeepsIt) {
    save(100, QStringLiteral("one"), true);
    save(200, QStringLiteral("two"), true);
    open();
    const struct {
        const char *name;
        std::function<void(QVMHistoryViewController *)> switchMode;
        int expected;
    } cases[] = {
        {"segment", [](QVMHistoryViewController *h) { h->onSegmentFavoritSwitch(1); }, 1},
        {"notification",
         [](QVMHistoryViewController *) {
             platform::NotificationCenter::defaultCenter().post(
                 QString::fromLatin1(QVMHistoryViewController::kShowBookmarksNotification));
         },
         -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        history->showHistory();
        history->highlightRow(1);
        c.switchMode(history);
        EXPECT_FALSE(history->isHistoryMode());
        EXPECT_EQ(history->highlightedRow(), c.expected);
    }
}

TEST_F(HistoryPanelTest, RemovingSendsADeleteOnlyForAFavourite) {
    signIn();
    backend.route("DELETE", kFavoriteById, FakeReply::json(QJsonObject{{"data", "ok"}}));
    save(100, QStringLiteral("plain"));
    save(200, QStringLiteral("starred"), true);
    open();
    history->onRemoveCell(1); // 100, not a favourite
    qvtest::spin(20);
    EXPECT_EQ(backend.requestCount(), 0);
    history->onRemoveCell(0); // 200
    ASSERT_TRUE(backend.waitForRequests(1));
    EXPECT_EQ(backend.lastRequest().method, QByteArray("DELETE"));
    EXPECT_EQ(backend.lastRequest().path, kFavorite + QStringLiteral("/200"));
    EXPECT_EQ(history->state(), 0);
    EXPECT_EQ(analytics->withAction(QStringLiteral("History panel - Clear item")).size(), 2);
}

TEST_F(HistoryPanelTest, FailedChangesStayPendingUntilTheNextSynchronisation) {
    signIn();
    backend.route("POST", kFavorite, FakeReply::withStatus(500));
    backend.route("DELETE", kFavoriteById, FakeReply::withStatus(503));
    save(100, QStringLiteral("to star"));
    save(200, QStringLiteral("to unstar"), true);
    open();
    history->onIsFavorit(1); // add 100: fails
    history->onIsFavorit(0); // delete 200: fails
    ASSERT_TRUE(backend.waitForRequests(2));
    EXPECT_TRUE(qvtest::waitUntil([&] { return !QVFavoritesSync::shared().pendingDeletes().isEmpty(); }));
    EXPECT_TRUE(qvtest::waitUntil([&] { return recordAt(100).isSynch() == false; }));
    EXPECT_EQ(QVFavoritesSync::shared().pendingDeletes(), QStringList{QStringLiteral("200")});
    for (const int row : {0, 1}) // both rows carry the mark
        EXPECT_TRUE(model()->index(row).data(QVMHistoryListModel::UnsynchronisedRole).toBool()) << row;

    // The account still lists 200 until the delete arrives.
    backend.clearRequests();
    backend.route("DELETE", kFavoriteById, FakeReply::json(QJsonObject{{"data", "ok"}}));
    backend.route("POST", kMultiple, FakeReply::json(QJsonObject{{"data", QJsonObject{{"result", true}}}}));
    bool deleted = false;
    backend.routeHandler("GET", kFavorites, [&](const qvtest::RecordedRequest &) {
        QJsonArray favourites;
        if (!deleted)
            favourites << QJsonObject{{"id", 200},
                                      {"languageFrom", "en_GB"},
                                      {"languageTo", "de_DE"},
                                      {"textFrom", "to unstar"},
                                      {"textTo", "TO UNSTAR"}};
        return FakeReply::json(QJsonObject{{"data", QJsonObject{{"favorites", favourites}}}});
    });
    QObject::connect(
        &backend, &qvtest::FakeBackend::requestReceived, &backend,
        [&](const qvtest::RecordedRequest &request) { deleted = deleted || request.method == "DELETE"; });
    openWindow();
    general->syncronizeBookmarks();
    ASSERT_TRUE(backend.waitForRequests("GET", kFavorites, 1));
    qvtest::spin(20);
    const QList<qvtest::RecordedRequest> sent = backend.requests();
    ASSERT_GE(sent.size(), 3);
    EXPECT_EQ(sent.at(0).path, kFavorite + QStringLiteral("/200"));
    EXPECT_EQ(sent.at(1).path, kMultiple);
    EXPECT_EQ(sent.at(1).jsonObject().value("favoritesData").toArray().size(), 1);
    EXPECT_TRUE(QVFavoritesSync::shared().pendingDeletes().isEmpty());
    EXPECT_EQ(recordAt(100).isSynch(), true);
    EXPECT_NE(recordAt(200).isFavorite(), true); // did not come back
    EXPECT_FALSE(model()->index(0).data(QVMHistoryListModel::UnsynchronisedRole).toBool());
}

TEST_F(HistoryPanelTest, SignedOutAFavouriteIsLocalOnlyAndFlushSendsNothing) {
    save(100, QStringLiteral("one"));
    open();
    history->onIsFavorit(0);
    bool flushed = true;
    QVFavoritesSync::shared().flush([&](bool ok) { flushed = ok; });
    qvtest::spin(20);
    EXPECT_FALSE(flushed);
    EXPECT_EQ(recordAt(100).isFavorite(), true);
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(HistoryPanelTest, BookmarksFollowStarsChangedElsewhere) {
    save(100, QStringLiteral("one"));
    save(200, QStringLiteral("two"), true);
    open();
    history->showBookmarks();
    ASSERT_EQ(ids(), QList<qint64>({200}));
    const struct {
        qint64 id;
        bool favourite;
        QList<qint64> expected;
    } cases[] = {{100, true, {200, 100}}, {200, false, {100}}, {100, false, {}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        ASSERT_FALSE(QVDataManager::sharedInstance().setFavorite(c.favourite, recordAt(c.id)));
        EXPECT_TRUE(qvtest::waitUntil([&] { return ids() == c.expected; }, 2000)) << ids().size();
    }
    EXPECT_EQ(history->state(), 0);
}

// The painted star and remove button of a row that is not the current one act on the first
// click, on their own row, and choose no row; the current row's real star shows the record.
TEST_F(HistoryPanelTest, StarAndRemoveActOnTheFirstClickOnAnyRow) {
    save(100, QStringLiteral("one"));
    save(200, QStringLiteral("two"));
    save(300, QStringLiteral("three"));
    open();
    QVMCustomSelectionColorTableView *table = history->historyTable();
    table->setCurrentIndex(model()->index(0)); // 300 carries the real buttons
    qvtest::spin(5);
    NotificationCounter shown(QVMHistoryViewController::kActionHistoryNotification);
    using Part = QVMHistoryTableViewCell::Part;
    const auto pointOn = [&](qint64 id, Part part) {
        const int row = int(ids().indexOf(id));
        const QRect rect = table->visualRect(model()->index(row));
        return (part == Part::Star ? QVMHistoryTableViewCell::starRect(rect)
                                   : QVMHistoryTableViewCell::removeRect(rect))
            .center();
    };
    const struct {
        const char *name;
        qint64 id;
        Part part;
        std::optional<bool> favourite; // nullopt: removed
    } cases[] = {
        {"star a row below the current one", 200, Part::Star, true},
        {"unstar it again", 200, Part::Star, false},
        {"remove another row", 100, Part::Remove, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, pointOn(c.id, c.part));
        qvtest::spin(5);
        if (c.favourite)
            EXPECT_EQ(recordAt(c.id).isFavorite().value_or(false), *c.favourite);
        else
            EXPECT_TRUE(recordAt(c.id).isNull());
        EXPECT_EQ(table->currentIndex().row(), 0) << "the click chose no row";
    }
    EXPECT_EQ(shown.count, 0);
    EXPECT_EQ(ids(), QList<qint64>({300, 200}));

    // A press that ends off the star does nothing; a click on the text chooses the row.
    QTest::mousePress(table->viewport(), Qt::LeftButton, {}, pointOn(200, Part::Star));
    QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, pointOn(200, Part::Star) + QPoint(-60, 20));
    EXPECT_NE(recordAt(200).isFavorite(), true);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(model()->index(1)).topLeft() + QPoint(30, 15));
    qvtest::spin(5);
    EXPECT_EQ(shown.count, 1);
    ASSERT_NE(history->favoriteButton(), nullptr);
    const struct {
        const char *name;
        const char *glyph;
        bool checked;
        const char *tip;
    } states[] = {{"not a favourite", "\u2606", false, "Add to your bookmarks (Space)"},
                  {"a favourite", "\u2605", true, "Remove from your bookmarks (Space)"}};
    for (const auto &s : states) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(history->favoriteButton()->text(), QString::fromUtf8(s.glyph));
        EXPECT_EQ(history->favoriteButton()->isChecked(), s.checked);
        EXPECT_EQ(history->favoriteButton()->toolTip(), QString::fromLatin1(s.tip));
        press(table, Qt::Key_Space);
        qvtest::spin(5);
    }
}

// Qt shows only a row's own tooltip over a list: each part of a row says what it does.
TEST_F(HistoryPanelTest, EachPartOfARowShowsItsTooltip) {
    save(100, QStringLiteral("plain"));
    save(200, QStringLiteral("starred"), true);
    open();
    QVMCustomSelectionColorTableView *table = history->historyTable();
    const auto tipAt = [&](const QPoint &at) {
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(table->viewport(), &help);
        const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return tip;
    };
    const struct {
        const char *name;
        int row;
        std::function<QPoint(const QRect &)> where;
        QString tip;
    } cases[] = {
        {"star of a favourite", 0,
         [](const QRect &r) { return QVMHistoryTableViewCell::starRect(r).center(); },
         QStringLiteral("Remove from your bookmarks (Space)")},
        {"star of another", 1, [](const QRect &r) { return QVMHistoryTableViewCell::starRect(r).center(); },
         QStringLiteral("Add to your bookmarks (Space)")},
        {"remove", 1, [](const QRect &r) { return QVMHistoryTableViewCell::removeRect(r).center(); },
         QStringLiteral("Remove this translation from the history (Delete)")},
        {"the text", 1, [](const QRect &r) { return r.topLeft() + QPoint(30, 15); }, table->toolTip()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tipAt(c.where(table->visualRect(model()->index(c.row)))), c.tip);
    }
}
