#include "NetworkTestSupport.h"

#include <merovantia/MFRequestManager.h>
#include <merovantia/Merovantia.h>

#include "platform/Bundle.h"

#include <QJsonArray>
#include <QTcpServer>

#include <stdexcept>

namespace {

using ObjectCalls = CallRecord<const QVariant &, const platform::Error &>;
using qvtest::FakeReply;

class MFRequestManagerTest : public BackendTest {
protected:
    MFRequestManager &manager() { return MFRequestManager::sharedRequestManager(); }
    QString errorDomain() const { return m_backend.baseUrl().toString() + QStringLiteral("/api"); }

    // Waits for exactly one call, then a little longer to catch a second one.
    static void settle(const ObjectCalls &calls) {
        ASSERT_TRUE(qvtest::waitUntil([&] { return calls.count > 0; }));
        qvtest::spin(50);
        EXPECT_EQ(calls.count, 1);
        EXPECT_TRUE(calls.allOnMain);
    }
};

TEST_F(MFRequestManagerTest, ConfigIsAPostWhoseBodyHoldsExactlyTheIdentity) {
    m_backend.route("POST", "/api/app/config",
                    FakeReply::json(QJsonObject{{"config", QJsonObject{{"feature", true}}}}));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    EXPECT_EQ(calls.count, 0) << "the block must not run before the call returns";
    settle(calls);

    const qvtest::RecordedRequest request = m_backend.lastRequest();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.path, QStringLiteral("/api/app/config"));
    EXPECT_EQ(request.header("Content-Type"), QByteArray("application/json; charset=utf-8"));
    EXPECT_EQ(sortedKeys(request.jsonObject()), (QStringList{"appKey", "uuid"}));
    EXPECT_EQ(request.jsonObject()["appKey"].toString(), QStringLiteral("test-app-key"));
    EXPECT_EQ(request.jsonObject()["uuid"].toString(), m_uuid);

    EXPECT_TRUE(calls.arg<1>().isNull());
    EXPECT_TRUE(calls.arg<0>().toMap().value(QStringLiteral("feature")).toBool());
}

TEST_F(MFRequestManagerTest, RemoteSettingsGiveConfigAndLocalNotifications) {
    m_backend.route("POST", "/api/app/config",
                    FakeReply::json(QJsonObject{{"status", 200},
                                                {"config", QJsonObject{{"limit", 5}}},
                                                {"localNotification", QJsonArray{"a", "b"}}}));
    CallRecord<const QVariant &, const QVariant &, const platform::Error &> calls;
    manager().getRemoteSettingsWithLanguage(QStringLiteral("de"), calls.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls.count > 0; }));
    qvtest::spin(50);
    EXPECT_EQ(calls.count, 1);
    EXPECT_TRUE(calls.allOnMain);

    const QJsonObject body = m_backend.lastRequest().jsonObject();
    EXPECT_EQ(sortedKeys(body), (QStringList{"appKey", "language", "uuid"}));
    EXPECT_EQ(body["language"].toString(), QStringLiteral("de"));
    EXPECT_EQ(calls.arg<0>().toMap().value(QStringLiteral("limit")).toInt(), 5);
    EXPECT_EQ(calls.arg<1>().toStringList(), (QStringList{"a", "b"}));
    EXPECT_TRUE(calls.arg<2>().isNull());
}

TEST_F(MFRequestManagerTest, RemoteSettingsFailureGivesOnlyTheError) {
    m_backend.route("POST", "/api/app/config", FakeReply::json(QJsonObject{{"status", 403}}));
    CallRecord<const QVariant &, const QVariant &, const platform::Error &> calls;
    manager().getRemoteSettingsWithLanguage(QStringLiteral("de"), calls.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls.count > 0; }));
    EXPECT_FALSE(calls.arg<0>().isValid());
    EXPECT_FALSE(calls.arg<1>().isValid());
    EXPECT_EQ(calls.arg<2>().code(), 1101);
}

TEST_F(MFRequestManagerTest, CrossPromotionAsksItsTableWithTheLanguage) {
    m_backend.route("POST", "/api/crossPromotionTable/config",
                    FakeReply::json(QJsonObject{{"config", QJsonArray{QJsonObject{{"id", 1}}}}}));
    ObjectCalls calls;
    manager().getCrossPromoForLang(QStringLiteral("fr"), calls.block());
    settle(calls);
    const QJsonObject body = m_backend.lastRequest().jsonObject();
    EXPECT_EQ(sortedKeys(body), (QStringList{"appKey", "language", "uuid"}));
    EXPECT_EQ(body["language"].toString(), QStringLiteral("fr"));
    ASSERT_EQ(calls.arg<0>().toList().size(), 1);
    EXPECT_EQ(calls.arg<0>().toList().first().toMap().value(QStringLiteral("id")).toInt(), 1);
}

TEST_F(MFRequestManagerTest, NewsSendsLanguageLastIdPlatformAndIdentity) {
    m_backend.route("POST", "/api/news/getNewsForApp",
                    FakeReply::json(QJsonObject{{"newsData", QJsonObject{{"id", 8}, {"title", "T"}}}}));
    ObjectCalls calls;
    manager().getNewsWithLang(QStringLiteral("en"), 7, QStringLiteral("macOS"), calls.block());
    settle(calls);
    const QJsonObject body = m_backend.lastRequest().jsonObject();
    EXPECT_EQ(m_backend.lastRequest().path, QStringLiteral("/api/news/getNewsForApp"));
    EXPECT_EQ(sortedKeys(body), (QStringList{"appKey", "language", "lastId", "platform", "uuid"}));
    EXPECT_EQ(body["lastId"].toInt(), 7);
    EXPECT_EQ(body["platform"].toString(), QStringLiteral("macOS"));
    EXPECT_EQ(body["uuid"].toString(), m_uuid);
    EXPECT_EQ(calls.arg<0>().toMap().value(QStringLiteral("id")).toInt(), 8);
}

TEST_F(MFRequestManagerTest, NewsReplyWithoutNewsDataGivesNothingAndNoError) {
    m_backend.route("POST", "/api/news/getNewsForApp", FakeReply::json(QJsonObject{{"status", 200}}));
    ObjectCalls calls;
    manager().getNewsWithLang(QStringLiteral("en"), 0, QStringLiteral("macOS"), calls.block());
    settle(calls);
    EXPECT_FALSE(calls.arg<0>().isValid());
    EXPECT_TRUE(calls.arg<1>().isNull());
}

TEST_F(MFRequestManagerTest, UpdateNoticeSendsTheApplicationVersion) {
    m_backend.route("POST", "/api/versionUpdate/getVersionUpdateForApp",
                    FakeReply::json(QJsonObject{{"versionUpdateData", QJsonObject{{"version", "9.0"}}}}));
    ObjectCalls calls;
    manager().getUpdateVersionWithLang(QStringLiteral("en"), QStringLiteral("macOS"), calls.block());
    settle(calls);
    const QJsonObject body = m_backend.lastRequest().jsonObject();
    EXPECT_EQ(sortedKeys(body), (QStringList{"appKey", "language", "platform", "uuid", "version"}));
    EXPECT_EQ(body["version"].toString(), platform::Bundle::shortVersionString());
    EXPECT_EQ(calls.arg<0>().toMap().value(QStringLiteral("version")).toString(), QStringLiteral("9.0"));
}

TEST_F(MFRequestManagerTest, StatusOtherThan200InTheReplyGivesError1101WithTheReply) {
    m_backend.route("POST", "/api/app/config",
                    FakeReply::json(QJsonObject{{"status", 500}, {"message", "broken"}}));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    const platform::Error &error = calls.arg<1>();
    EXPECT_EQ(error.domain(), errorDomain());
    EXPECT_EQ(error.code(), 1101);
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("Merovantia.framework error"));
    EXPECT_EQ(
        error.userInfo().value(QStringLiteral("Error")).toMap().value(QStringLiteral("message")).toString(),
        QStringLiteral("broken"));
    EXPECT_FALSE(calls.arg<0>().isValid());
}

TEST_F(MFRequestManagerTest, EnvelopeStatusCountsAsSuccessOnlyWhenItIs200) {
    struct Case {
        const char *status; // JSON text of the "status" value
        bool success;
    };
    const Case cases[] = {
        {"200", true},         {"200.0", true},           {"\"200\"", true},
        {"4294967496", false}, {"-4294967096", false},    {"18446744073709551816", false},
        {"1e20", false},       {"\"4294967496\"", false}, {"null", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        m_backend.route(
            "POST", "/api/app/config",
            FakeReply::bytes("{\"status\":" + QByteArray(c.status) + ",\"config\":1}", "application/json"));
        ObjectCalls calls;
        manager().getConfigInBackgroundWithBlock(calls.block());
        settle(calls);
        if (c.success) {
            EXPECT_TRUE(calls.arg<1>().isNull());
            EXPECT_EQ(calls.arg<0>().toInt(), 1);
        } else {
            EXPECT_EQ(calls.arg<1>().code(), 1101);
            EXPECT_FALSE(calls.arg<0>().isValid());
        }
    }
}

TEST_F(MFRequestManagerTest, HttpErrorWithJsonBodyCarriesTheBody) {
    m_backend.route("POST", "/api/app/config", FakeReply::json(QJsonObject{{"reason", "quota"}}, 429));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    EXPECT_EQ(calls.arg<1>().code(), 1101);
    EXPECT_EQ(
        calls.arg<1>().userInfo().value(QStringLiteral("Error")).toMap().value(QStringLiteral("reason")),
        QVariant(QStringLiteral("quota")));
}

TEST_F(MFRequestManagerTest, Http404WithHtmlGivesInvalidResponse) {
    m_backend.route("POST", "/api/app/config", FakeReply::bytes("<html>nope</html>", "text/html", 404));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    EXPECT_EQ(calls.arg<1>().domain(), errorDomain());
    EXPECT_EQ(calls.arg<1>().code(), 1101);
    EXPECT_EQ(calls.arg<1>().userInfo().value(QStringLiteral("Error")).toString(),
              QStringLiteral("Invalid response"));
}

TEST_F(MFRequestManagerTest, EmptySuccessfulReplyGivesInvalidResponse) {
    m_backend.route("POST", "/api/app/config", FakeReply::withStatus(200));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    EXPECT_EQ(calls.arg<1>().code(), 1101);
    EXPECT_EQ(calls.arg<1>().userInfo().value(QStringLiteral("Error")).toString(),
              QStringLiteral("Invalid response"));
}

TEST_F(MFRequestManagerTest, ReplyThatIsNotJsonGivesTheParseError) {
    m_backend.route("POST", "/api/app/config", FakeReply::text("hello"));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    EXPECT_EQ(calls.arg<1>().domain(), QStringLiteral("NSCocoaErrorDomain"));
    EXPECT_EQ(calls.arg<1>().code(), 3840);
    EXPECT_FALSE(calls.arg<0>().isValid());
}

TEST_F(MFRequestManagerTest, JsonThatIsNotAnObjectGivesNothingAndNoError) {
    m_backend.route("POST", "/api/app/config", FakeReply::jsonArray(QJsonArray{1, 2}));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    EXPECT_FALSE(calls.arg<0>().isValid());
    EXPECT_TRUE(calls.arg<1>().isNull());
}

TEST_F(MFRequestManagerTest, SilentServerTimesOutOnce) {
    manager().setTimeouts(200, 2000);
    m_backend.route("POST", "/api/app/config", FakeReply::json(QJsonObject{{"config", 1}}).withDelay(3000));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    manager().setTimeouts(30000, 60000);
    EXPECT_EQ(calls.arg<1>().domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(calls.arg<1>().code(), -1001);
    EXPECT_FALSE(calls.arg<0>().isValid());
}

TEST_F(MFRequestManagerTest, TricklingReplyTimesOutAtTheResourceLimit) {
    manager().setTimeouts(5000, 300);
    // Bytes keep coming (so the idle limit never fires) but the whole reply would take 2 s.
    m_backend.route("POST", "/api/app/config",
                    FakeReply::bytes(QByteArray(4000, ' ') + "{}", "application/json").throttled(100, 50));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    manager().setTimeouts(30000, 60000);
    EXPECT_EQ(calls.arg<1>().code(), -1001);
}

TEST_F(MFRequestManagerTest, ReplyCutShortIsATransportErrorEvenWhenItsStartParses) {
    // The connection drops inside the padding: what arrived is valid JSON, but not the whole reply.
    m_backend.route(
        "POST", "/api/app/config",
        FakeReply::bytes("{\"config\":1}" + QByteArray(200, ' '), "application/json").abortAfter(20));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    EXPECT_EQ(calls.arg<1>().domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(calls.arg<1>().code(), -1005);
    EXPECT_FALSE(calls.arg<0>().isValid());
}

TEST_F(MFRequestManagerTest, UnreachableBackendReachesTheCallerAsATransportError) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    platform::BackendConfig::overrideHost("QV_CLIENT_HOST",
                                          QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
    ObjectCalls calls;
    manager().getConfigInBackgroundWithBlock(calls.block());
    settle(calls);
    EXPECT_EQ(calls.arg<1>().domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(calls.arg<1>().code(), -1004);
}

TEST_F(MFRequestManagerTest, WithoutStoredIdentityTheBodyOmitsIt) {
    ASSERT_TRUE(SAMKeychain::deletePasswordForService(MFDataManager::appIdentifier(), m_uuid));
    m_backend.route("POST", "/api/crossPromotionTable/config", FakeReply::json(QJsonObject{{"config", 1}}));
    ObjectCalls calls;
    manager().getCrossPromoForLang(QStringLiteral("en"), calls.block());
    settle(calls);
    EXPECT_EQ(sortedKeys(m_backend.lastRequest().jsonObject()), (QStringList{"language"}));
}

TEST_F(MFRequestManagerTest, ExceptionInTheCallersBlockStaysInside) {
    m_backend.route("POST", "/api/app/config", FakeReply::json(QJsonObject{{"config", 1}}));
    int calls = 0;
    manager().getConfigInBackgroundWithBlock([&](const QVariant &, const platform::Error &) {
        ++calls;
        throw std::runtime_error("caller failed");
    });
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls > 0; }));
    qvtest::spin(50);
    EXPECT_EQ(calls, 1);
    ObjectCalls next;
    manager().getConfigInBackgroundWithBlock(next.block());
    settle(next);
    EXPECT_EQ(next.arg<0>().toInt(), 1);
}

TEST_F(MFRequestManagerTest, FacadeInitialisesTheIdentityThenFetchesTheConfiguration) {
    m_backend.route("POST", "/api/app/config",
                    FakeReply::json(QJsonObject{{"config", QJsonObject{{"k", "v"}}}}));
    QString handed;
    Merovantia::initializeWithAppKey(QStringLiteral("other-key"),
                                     [&](const QString &uuid) { handed = uuid; });
    EXPECT_EQ(handed, m_uuid);

    ObjectCalls calls;
    Merovantia::initialiseWithKey(QStringLiteral("third-key"), calls.block());
    settle(calls);
    EXPECT_EQ(m_backend.lastRequest().jsonObject()["appKey"].toString(), QStringLiteral("third-key"));
    EXPECT_EQ(m_backend.lastRequest().jsonObject()["uuid"].toString(), m_uuid);
    EXPECT_EQ(calls.arg<0>().toMap().value(QStringLiteral("k")).toString(), QStringLiteral("v"));
}

TEST_F(MFRequestManagerTest, FacadeForwardsEveryApplicationRequest) {
    m_backend.route("POST", "/api/app/config",
                    FakeReply::json(QJsonObject{{"config", 1}, {"localNotification", 2}}));
    m_backend.route("POST", "/api/crossPromotionTable/config", FakeReply::json(QJsonObject{{"config", 3}}));
    m_backend.route("POST", "/api/news/getNewsForApp", FakeReply::json(QJsonObject{{"newsData", 4}}));
    m_backend.route("POST", "/api/versionUpdate/getVersionUpdateForApp",
                    FakeReply::json(QJsonObject{{"versionUpdateData", 5}}));
    ObjectCalls config, promo, news, update;
    CallRecord<const QVariant &, const QVariant &, const platform::Error &> settings;
    Merovantia::getConfigInBackgroundWithBlock(config.block());
    Merovantia::getRemoteSettingsWithLanguage(QStringLiteral("en"), settings.block());
    Merovantia::getCrossPromoForLang(QStringLiteral("en"), promo.block());
    Merovantia::getNewsWithLang(QStringLiteral("en"), 1, QStringLiteral("macOS"), news.block());
    Merovantia::getUpdateVersionWithLang(QStringLiteral("en"), QStringLiteral("macOS"), update.block());
    ASSERT_TRUE(qvtest::waitUntil(
        [&] { return config.count && settings.count && promo.count && news.count && update.count; }));
    EXPECT_EQ(config.arg<0>().toInt(), 1);
    EXPECT_EQ(settings.arg<1>().toInt(), 2);
    EXPECT_EQ(promo.arg<0>().toInt(), 3);
    EXPECT_EQ(news.arg<0>().toInt(), 4);
    EXPECT_EQ(update.arg<0>().toInt(), 5);
    EXPECT_EQ(m_backend.requestCount(), 5);
}

} // namespace
