#include "OnlineServiceTest.h"

#include "core/settings/QVAuthService.h"
#include "services/favourites/QVQuorvaldeRequestManager.h"

#include "core/history/QVDataManager.h"
#include "core/models/ModelValues.h"
#include "core/models/QVLanguageRealm.h"

#include <QJsonArray>
#include <QJsonDocument>

using qvtest::FakeReply;
using qvtest::RecordedRequest;

namespace {

using ErrorCalls = Calls<platform::Error>;
const QString kFavorites = QStringLiteral("/v2/api/user/favorites");
const QString kFavorite = QStringLiteral("/v2/api/user/favorite");

QJsonObject favourite(qint64 id, const char *from, const char *to) {
    return QJsonObject{{"id", id},
                       {"languageFrom", "en_GB"},
                       {"languageTo", "de_DE"},
                       {"textFrom", QLatin1String(from)},
                       {"textTo", QLatin1String(to)}};
}

FakeReply favouritesReply(const QJsonArray &favourites) {
    return FakeReply::json(QJsonObject{{"data", QJsonObject{{"favorites", favourites}}}});
}

class QVQuorvaldeRequestManagerTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        write([](platform::Transaction &tx) {
            for (const char *id : {"en_GB", "de_DE", "fr_FR"})
                tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", QLatin1String(id)},
                                                                      {"languageName", QLatin1String(id)}});
        });
    }
    void TearDown() override {
        QVAuthService::clearAuthToken();
        OnlineServiceTest::TearDown();
    }

    // A translation of the history, stored under exactly this id.
    QVTranslationRealm stored(qint64 id, const char *text, const char *translation, bool favourite = false,
                              const char *to = "de_DE") {
        QVTranslationRealm record;
        const platform::Error error = QVDataManager::sharedInstance().saveTranslationFromDictionary(
            {{"idTranslation", id},
             {"languageFrom", "en_GB"},
             {"languageTo", QLatin1String(to)},
             {"originalText", QLatin1String(text)},
             {"translatedText", QLatin1String(translation)},
             {"isFavorite", favourite},
             {"isSynch", false},
             {"createdDate", 700000000.5}},
            [&record](const QVTranslationRealm &saved) { record = saved; });
        EXPECT_FALSE(error) << error.localizedDescription().toStdString();
        return record;
    }
    QVTranslationRealm recordAt(qint64 id) { return QVDataManager::sharedInstance().getRealObjectById(id); }

    bool download() {
        Calls<> success;
        ErrorCalls failure;
        client.getFavoritesWithLimit(1000, 0, success.block(), failure.block());
        const bool done = qvtest::waitUntil([&] { return success.count + failure.count > 0; });
        return done && success.count == 1 && failure.count == 0 && success.allOnMain;
    }

    QVQuorvaldeRequestManager client;
};

TEST_F(QVQuorvaldeRequestManagerTest,
       DownloadSendsItsQueryAndTheAccountsAuthorizationAndStoresUnderBackendIds) {
    backend.route(
        "GET", kFavorites,
        favouritesReply({favourite(5, "Good morning", "Guten Morgen"), favourite(8, "Thanks", "Danke")}));
    struct Case {
        const char *token; // nullptr: signed out
        QByteArray authorization;
    };
    const Case cases[] = {
        {"account-token-1", "Bearer account-token-1"},
        {nullptr, "Basic Pq7vLm2XcR9tWz4YbN8sKd3HfJ6gTu1VaE5yQi0oMnB"},
        {"account-token-2", "Bearer account-token-2"},
    };
    // One client for all: signing in or out takes effect at the next request.
    for (const Case &c : cases) {
        SCOPED_TRACE(c.authorization.toStdString());
        if (c.token)
            QVAuthService::setAuthToken(QString::fromLatin1(c.token));
        else
            QVAuthService::clearAuthToken();
        backend.clearRequests();
        ASSERT_TRUE(download());
        const RecordedRequest request = backend.lastRequest();
        EXPECT_EQ(request.path, kFavorites);
        EXPECT_EQ(request.header("Authorization"), c.authorization);
        EXPECT_EQ(request.header("Accept"), QByteArray("application/json"));
        const QList<QPair<QString, QString>> expected = {
            {"limit", "1000"}, {"time", "0"}, {"platform", "macOS"}, {"uuid", uuid}};
        EXPECT_EQ(request.queryItems, expected);
    }

    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 2);
    const QVTranslationRealm morning = recordAt(5);
    ASSERT_FALSE(morning.isNull());
    EXPECT_EQ(morning.originalText(), QStringLiteral("Good morning"));
    EXPECT_EQ(morning.translatedText(), QStringLiteral("Guten Morgen"));
    EXPECT_EQ(morning.languageFrom().localeIdentifier(), QStringLiteral("en_GB"));
    EXPECT_EQ(morning.languageTo().localeIdentifier(), QStringLiteral("de_DE"));
    EXPECT_EQ(morning.isFavorite(), true);
    EXPECT_EQ(morning.translationType(), 1);
    EXPECT_EQ(recordAt(8).translatedText(), QStringLiteral("Danke"));
}

TEST_F(QVQuorvaldeRequestManagerTest, DownloadReplacesEqualTranslationsAndNeverOverwritesAnotherOne) {
    stored(900, "Good morning", "Guten Morgen");    // equal to favourite 5: replaced by it
    stored(8, "My password is x", "Mein Passwort"); // unrelated, holds favourite 8's id: kept
    stored(901, "Thanks", "Danke");                 // equal to favourite 8, which is skipped: kept
    backend.route(
        "GET", kFavorites,
        favouritesReply({favourite(5, "Good morning", "Guten Morgen"), favourite(8, "Thanks", "Danke"),
                         QJsonObject{{"id", 12},
                                     {"languageFrom", "xx_XX"},
                                     {"languageTo", "de_DE"},
                                     {"textFrom", "Hi"},
                                     {"textTo", "Hallo"}},
                         QJsonObject{{"id", 13}, {"languageFrom", "en_GB"}}}));
    ASSERT_TRUE(download());

    EXPECT_TRUE(recordAt(900).isNull());
    EXPECT_EQ(recordAt(5).originalText(), QStringLiteral("Good morning"));
    EXPECT_EQ(recordAt(5).isFavorite(), true);
    EXPECT_EQ(recordAt(8).originalText(), QStringLiteral("My password is x"));
    EXPECT_EQ(recordAt(8).isFavorite(), false);
    EXPECT_EQ(recordAt(901).translatedText(), QStringLiteral("Danke"));
    EXPECT_TRUE(recordAt(12).isNull()) << "a language the catalogue lacks";
    EXPECT_TRUE(recordAt(13).isNull()) << "an incomplete favourite";
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 3);

    const QStringList lines = loggedLines().filter(QStringLiteral("GET FAVOURITES: "));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().contains(QStringLiteral("4 received, 1 stored (5), 3 skipped (8, 12, 13)")))
        << lines.first().toStdString();
    for (const QString &line : loggedLines()) {
        for (const char *text : {"Good morning", "Danke", "password", "Hallo"})
            EXPECT_FALSE(line.contains(QLatin1String(text)))
                << "the user's texts stay out of the log: " << line.toStdString();
    }
}

TEST_F(QVQuorvaldeRequestManagerTest, ADownloadWithoutAListStoresNothingAndStillSucceeds) {
    stored(900, "Good morning", "Guten Morgen");
    const QList<QJsonObject> replies = {
        QJsonObject{{"data", QJsonArray{favourite(5, "a", "b")}}},
        QJsonObject{{"data", "favourites"}},
        QJsonObject{{"data", QJsonValue()}},
        QJsonObject{{"favorites", QJsonArray{favourite(5, "a", "b")}}},
        QJsonObject{{"data", QJsonObject{{"favorites", "none"}}}},
    };
    for (const QJsonObject &reply : replies) {
        SCOPED_TRACE(QJsonDocument(reply).toJson(QJsonDocument::Compact).toStdString());
        backend.route("GET", kFavorites, FakeReply::json(reply));
        ASSERT_TRUE(download());
        EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 1);
    }
}

TEST_F(QVQuorvaldeRequestManagerTest, UploadSendsTheFavouriteAndStoresItUnderTheReturnedId) {
    QVAuthService::setAuthToken(QStringLiteral("account-token"));
    const QVTranslationRealm local = stored(700, "Where is the station?", "Wo ist der Bahnhof?");
    backend.route("POST", kFavorite, FakeReply::json(QJsonObject{{"data", QJsonObject{{"id", 42}}}}));
    Calls<QVTranslationRealm> success;
    ErrorCalls failure;
    client.addFavoriteTranslationObject(local, success.block(), failure.block());
    ASSERT_TRUE(settle(success));
    EXPECT_EQ(failure.count, 0);

    const RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.header("Authorization"), QByteArray("Bearer account-token"));
    const QJsonObject body = request.jsonObject();
    EXPECT_EQ(body.keys(),
              (QStringList{"languageFrom", "languageTo", "platform", "textFrom", "textTo", "time", "uuid"}));
    EXPECT_DOUBLE_EQ(body.value("time").toDouble(), 700000000.5);
    EXPECT_EQ(body.value("textFrom").toString(), QStringLiteral("Where is the station?"));
    EXPECT_EQ(body.value("textTo").toString(), QStringLiteral("Wo ist der Bahnhof?"));
    EXPECT_EQ(body.value("languageFrom").toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(body.value("languageTo").toString(), QStringLiteral("de_DE"));

    EXPECT_EQ(success.arg<0>().idTranslation(), 42);
    EXPECT_EQ(recordAt(42).isFavorite(), true);
    EXPECT_TRUE(recordAt(700).isNull());
}

TEST_F(QVQuorvaldeRequestManagerTest, UploadRepliesThatCannotBeStoredFailAndKeepTheRecord) {
    stored(42, "Other", "Andere");
    struct Case {
        const char *name;
        FakeReply reply;
        bool succeeds;  // with the record as it was
        QString domain; // of the failure
        qint64 code;
    };
    const Case cases[] = {
        {"empty reply", FakeReply::withStatus(200), true, {}, 0},
        {"no id", FakeReply::json(QJsonObject{{"data", QJsonObject{}}}), false,
         QStringLiteral("QVQuorvaldeRequestManager"), QVQuorvaldeRequestManager::BadReply},
        {"id of another translation", FakeReply::json(QJsonObject{{"data", QJsonObject{{"id", 42}}}}), false,
         QStringLiteral("QVDataManager"), QVDataManager::IdentifierTaken},
        {"server error", FakeReply::json(QJsonObject{{"err", "no"}}, 500), false,
         QStringLiteral("com.translator.network.response"), 500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVTranslationRealm local = stored(700, "Where is the station?", "Wo ist der Bahnhof?");
        backend.route("POST", kFavorite, c.reply);
        Calls<QVTranslationRealm> success;
        ErrorCalls failure;
        client.addFavoriteTranslationObject(local, success.block(), failure.block());
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        qvtest::spin(20);
        EXPECT_EQ(success.count + failure.count, 1);
        if (c.succeeds) {
            EXPECT_EQ(success.arg<0>().idTranslation(), 700);
        } else {
            ASSERT_EQ(failure.count, 1);
            EXPECT_EQ(failure.arg<0>().domain(), c.domain);
            EXPECT_EQ(failure.arg<0>().code(), c.code);
        }
        EXPECT_EQ(recordAt(700).originalText(), QStringLiteral("Where is the station?"));
        EXPECT_EQ(recordAt(42).originalText(), QStringLiteral("Other"));
    }
}

TEST_F(QVQuorvaldeRequestManagerTest, AFavouriteThatCannotBeSentFailsWithoutARequest) {
    const QVTranslationRealm complete = stored(700, "Hello", "Hallo");
    const QVariant from = QVariant::fromValue<platform::Object>(complete.languageFrom());
    const QVariant to = QVariant::fromValue<platform::Object>(complete.languageTo());
    const QVTranslationRealm noText(
        modelvalues::initWithValue(QVTranslationRealm::schema(), {{"idTranslation", 1},
                                                                  {"languageFrom", from},
                                                                  {"languageTo", to},
                                                                  {"createdDate", 1.0},
                                                                  {"originalText", "Hello"}}));
    const QVTranslationRealm noLanguage(
        modelvalues::initWithValue(QVTranslationRealm::schema(), {{"idTranslation", 2},
                                                                  {"createdDate", 1.0},
                                                                  {"originalText", "Hello"},
                                                                  {"translatedText", "Hallo"}}));
    const QList<QPair<const char *, QVTranslationRealm>> cases = {
        {"no translated text", noText}, {"no languages", noLanguage}, {"no record", QVTranslationRealm()}};
    for (const auto &[name, record] : cases) {
        SCOPED_TRACE(name);
        Calls<QVTranslationRealm> success;
        ErrorCalls failure;
        client.addFavoriteTranslationObject(record, success.block(), failure.block());
        ASSERT_TRUE(settle(failure));
        EXPECT_EQ(success.count, 0);
        EXPECT_EQ(failure.arg<0>().code(), QVQuorvaldeRequestManager::RequestNotBuilt);
        EXPECT_EQ(reports().last().domain, QStringLiteral("NSException"));
        EXPECT_EQ(reports().last().userInfo.value("message").toString(),
                  QString::fromLatin1(QVQuorvaldeRequestManager::kBuildFailedMessage));
    }
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(QVQuorvaldeRequestManagerTest, DeletesAreBareAndNameTheFavouriteInThePath) {
    const QVTranslationRealm favourite = stored(42, "Hello", "Hallo", true);
    backend.route("DELETE", kFavorite + QStringLiteral("/42"), FakeReply::json(QJsonObject{{"data", "ok"}}));
    Calls<QVariant> deleted;
    client.deleteFavoriteTranslationObject(favourite, deleted.block(), {});
    ASSERT_TRUE(settle(deleted));
    RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.method, QByteArray("DELETE"));
    EXPECT_EQ(request.path, kFavorite + QStringLiteral("/42"));
    EXPECT_TRUE(request.queryItems.isEmpty()) << "no platform, no uuid";
    EXPECT_TRUE(request.body.isEmpty());
    EXPECT_EQ(deleted.arg<0>().toMap().value("data").toString(), QStringLiteral("ok"));
    EXPECT_TRUE(loggedLines().contains(QStringLiteral("DELETE FAVOURITE AT: 42")));

    // An identifier is one path segment.
    backend.route("DELETE", QStringLiteral("/v2/api/user/favorite/*"), FakeReply::json(QJsonObject{}));
    Calls<QVariant> odd;
    client.deleteFavoriteTranslationById(QStringLiteral("../../auth/logout"), odd.block(), {});
    ASSERT_TRUE(settle(odd));
    EXPECT_EQ(backend.lastRequest().path, kFavorite + QStringLiteral("/../../auth/logout"));

    // Without a segment of its own the path would name every favourite, or the folder above.
    backend.clearRequests();
    for (const QString &identifier :
         {QString(), QStringLiteral(" "), QStringLiteral("."), QStringLiteral("..")}) {
        SCOPED_TRACE(identifier.toStdString());
        ErrorCalls refused;
        client.deleteFavoriteTranslationById(identifier, {}, refused.block());
        ASSERT_TRUE(settle(refused));
        EXPECT_EQ(refused.arg<0>().code(), QVQuorvaldeRequestManager::RequestNotBuilt);
    }
    qvtest::spin(50);
    EXPECT_EQ(backend.requestCount(), 0);

    const QList<QPair<QJsonValue, bool>> results = {{true, true}, {false, false}, {QJsonValue(), false}};
    for (const auto &[result, expected] : results) {
        SCOPED_TRACE(QJsonDocument(QJsonArray{result}).toJson(QJsonDocument::Compact).toStdString());
        backend.route("DELETE", kFavorite,
                      FakeReply::json(QJsonObject{{"data", QJsonObject{{"result", result}}}}));
        Calls<bool> all;
        client.deleteAllFavoriteWithSuccess(all.block(), {});
        ASSERT_TRUE(settle(all));
        EXPECT_EQ(all.arg<0>(), expected);
        EXPECT_TRUE(backend.lastRequest().queryItems.isEmpty());
    }
}

TEST_F(QVQuorvaldeRequestManagerTest, BulkUploadSendsOnlyUnsynchronisedFavourites) {
    Calls<bool> nothing;
    ErrorCalls failure;
    client.synchFavourites({}, nothing.block(), failure.block());
    ASSERT_TRUE(settle(nothing));
    EXPECT_TRUE(nothing.arg<0>());
    EXPECT_EQ(backend.requestCount(), 0) << "nothing to send, nothing sent";

    stored(1, "One", "Eins", true);
    stored(2, "Two", "Zwei", false);
    write([](platform::Transaction &tx) {
        tx.createOrUpdate(
            QVTranslationRealm::storeClassName(),
            {{"idTranslation", 3}, {"isFavorite", true}, {"isSynch", true}, {"originalText", "x"}});
    });
    backend.route("POST", QStringLiteral("/v2/api/user/multipleFavorites"),
                  FakeReply::json(QJsonObject{{"data", QJsonObject{{"result", true}}}}));
    Calls<bool> sent;
    client.synchFavourites({}, sent.block(), failure.block());
    ASSERT_TRUE(settle(sent));
    EXPECT_TRUE(sent.arg<0>());
    const QJsonArray data = backend.lastRequest().jsonObject().value("favoritesData").toArray();
    ASSERT_EQ(data.size(), 1);
    const QJsonObject one = data.first().toObject();
    EXPECT_EQ(one.value("textFrom").toString(), QStringLiteral("One"));
    EXPECT_EQ(one.value("time").toVariant().toLongLong(), 700000000) << "a whole number of seconds";
    EXPECT_TRUE(loggedLines().contains(QStringLiteral("NOT SYNCH 1 (1)")));
    EXPECT_TRUE(loggedLines().filter(QStringLiteral("One")).isEmpty());
    EXPECT_EQ(failure.count, 0);
}

} // namespace
