#include "panes/general/QVMGeneralPanels.h"

#include "app/panes/PanesTestSupport.h"

#include "core/settings/QVAuthService.h"
#include "services/favourites/QVFavoritesSync.h"

#include <QToolButton>

using qvtest::FakeReply;

namespace {

const QString kFavorite = QStringLiteral("/v2/api/user/favorite");
const QString kFavoriteById = QStringLiteral("/v2/api/user/favorite/*");
const QString kMultiple = QStringLiteral("/v2/api/user/multipleFavorites");

class GeneralPanelsFavouriteTest : public panestest::PanesOnlineTest {
protected:
    void SetUp() override {
        panestest::PanesOnlineTest::SetUp();
        installGeneralPanels(QVMInterfaceHooks::shared());
        QVAuthService::setAuthToken(QStringLiteral("account-token"));
    }
    void TearDown() override {
        QVAuthService::clearAuthToken();
        platform::UserDefaults::standard().removeObject(
            QString::fromLatin1(QVFavoritesSync::kPendingDeletesKey));
        panestest::PanesOnlineTest::TearDown();
    }
    // The record on screen, as the history shows it.
    void show(const QVTranslationRealm &record) {
        openWindow();
        general->showHistory(record);
        qvtest::spin(10);
    }
};

} // namespace

TEST_F(GeneralPanelsFavouriteTest, StarredOfflineStaysPendingAndTheNextFlushSendsIt) {
    backend.route("POST", kFavorite, FakeReply::withStatus(503));
    show(save(100, QStringLiteral("house")));
    ASSERT_TRUE(general->favoriteButton()->isEnabled());
    general->favoriteButton()->click();
    EXPECT_TRUE(general->favoriteButton()->isChecked()) << "the star shows the local flag at once";
    EXPECT_TRUE(recordAt(100).isFavorite().value_or(false));
    ASSERT_TRUE(backend.waitForRequests("POST", kFavorite, 1));
    EXPECT_TRUE(qvtest::waitUntil([&] { return recordAt(100).isSynch() == false; }));
    EXPECT_TRUE(analytics->withAction("Add Bookmarks").isEmpty()) << "nothing was confirmed";

    backend.route("POST", kMultiple, FakeReply::json(QJsonObject{{"data", QJsonObject{{"result", true}}}}));
    bool flushed = false;
    QVFavoritesSync::shared().flush([&](bool ok) { flushed = ok; });
    ASSERT_TRUE(qvtest::waitUntil([&] { return flushed; }));
    EXPECT_EQ(backend.requests("POST", kMultiple).size(), 1);
    EXPECT_EQ(recordAt(100).isSynch(), true);
}

TEST_F(GeneralPanelsFavouriteTest, StarFollowsTheRecordBothWaysAndAConfirmedRemovalIsReported) {
    backend.route("DELETE", kFavoriteById, FakeReply::json(QJsonObject{{"data", "ok"}}));
    show(save(200, QStringLiteral("tree"), true));
    const struct Step { bool checked; } steps[] = {{false}, {true}};
    ASSERT_TRUE(general->favoriteButton()->isChecked());
    general->favoriteButton()->click();
    EXPECT_EQ(general->favoriteButton()->isChecked(), steps[0].checked);
    EXPECT_FALSE(recordAt(200).isFavorite().value_or(false));
    EXPECT_TRUE(qvtest::waitUntil([&] { return !analytics->withAction("Remove Bookmarks").isEmpty(); }));
    backend.route("POST", kFavorite, FakeReply::withStatus(503));
    general->favoriteButton()->click();
    EXPECT_EQ(general->favoriteButton()->isChecked(), steps[1].checked);
}
