#include "OnlineServiceTest.h"

#include "services/network/QVRequestManager.h"

#include "services/analytics/QVAnalyticsManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/QVEnvironment.h"

#include "platform/Bundle.h"

#include <QJsonArray>
#include <QTimeZone>

using qvtest::FakeReply;

namespace {

using ErrorCalls = Calls<platform::Error>;
const QString kNews = QStringLiteral("/api/news/getNewsForApp");
const QString kUpdate = QStringLiteral("/api/versionUpdate/getVersionUpdateForApp");
const QString kPlayers = QStringLiteral("/api/v1/players");
const QString kLastShown = QString::fromLatin1(QVRequestManager::kLastShowedServerMessageKey);

QList<QVServerMessage> messages(const QList<qint64> &ids) {
    QList<QVServerMessage> list;
    for (const qint64 id : ids)
        list.append({id, QStringLiteral("title %1").arg(id), QString()});
    return list;
}

QList<qint64> ids(const QList<QVServerMessage> &list) {
    QList<qint64> out;
    for (const QVServerMessage &message : list)
        out << message.idMessage.value_or(-1);
    return out;
}

class RecordingProductSink : public QVProductAnalyticsSink {
public:
    explicit RecordingProductSink(QList<QPair<QString, QVariantMap>> *events) : m_events(events) {}
    void logEvent(const QString &type, const QVariantMap &properties) override {
        m_events->append({type, properties});
    }
    void clearUserProperties() override {}
    void setUserProperties(const QVariantMap &) override {}
    void setUserId(const QString &) override {}
    void flush(int) override {}

private:
    QList<QPair<QString, QVariantMap>> *m_events;
};

class QVRequestManagerMessagesTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        QVAnalyticsManager::shared().setSinks(nullptr, std::make_unique<RecordingProductSink>(&analytics));
    }
    void TearDown() override {
        QVAnalyticsManager::shared().setSinks(nullptr, nullptr);
        platform::Bundle::setBundleIdentifier({});
        OnlineServiceTest::TearDown();
    }
    QList<QPair<QString, QVariantMap>> analytics;
};

TEST_F(QVRequestManagerMessagesTest, OnlyUnseenMessagesNewestFirstAndAtMostTwo) {
    struct Case {
        std::optional<qint64> lastShown; // nothing: never written
        QList<qint64> received;
        QList<qint64> kept;
    };
    const Case cases[] = {
        {7, {5, 8, 9, 12}, {12, 9}}, {std::nullopt, {3, 1, 2}, {3, 2}},
        {std::nullopt, {0, -4}, {}}, {10, {11}, {11}},
        {10, {4, 10}, {}},           {0, {12, 30, 5, 30}, {30, 30}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::vector<qint64>(c.received.cbegin(), c.received.cend())));
        if (c.lastShown)
            QVEnvironment::sharedDefaults().setInteger(*c.lastShown, kLastShown);
        else
            QVEnvironment::sharedDefaults().removeObject(kLastShown);
        EXPECT_EQ(ids(QVRequestManager::newsFilteredArrayWithArray(messages(c.received))), c.kept);
    }
    // A message without a usable id is never new.
    QVEnvironment::sharedDefaults().removeObject(kLastShown);
    QList<QVServerMessage> withoutId = messages({4});
    withoutId.append({std::nullopt, QStringLiteral("no id"), QString()});
    EXPECT_EQ(ids(QVRequestManager::newsFilteredArrayWithArray(withoutId)), QList<qint64>{4});
}

TEST_F(QVRequestManagerMessagesTest, ServerMessagesAskFromTheFirstAndReachTheCallerFiltered) {
    QVEnvironment::sharedDefaults().setInteger(7, kLastShown);
    backend.route(
        "POST", kNews,
        FakeReply::json(QJsonObject{
            {"newsData",
             QJsonArray{QJsonObject{{"id", 5}, {"title", "old"}}, QJsonObject{{"id", 8}, {"title", "a"}},
                        QJsonObject{{"id", 12}, {"title", "b"}}, QJsonObject{{"id", 9}, {"title", "c"}}}}}));
    Calls<QList<QVServerMessage>> success;
    ErrorCalls failure;
    QVRequestManager::instance().getServerMessagesForLanguage(QStringLiteral("de"), success.block(),
                                                              failure.block());
    ASSERT_TRUE(settle(success));
    EXPECT_TRUE(success.allOnMain);
    EXPECT_EQ(ids(success.arg<0>()), (QList<qint64>{12, 9}));
    EXPECT_EQ(success.arg<0>().first().messageTitle, QStringLiteral("b"));
    const QJsonObject body = backend.lastRequest().jsonObject();
    EXPECT_EQ(body.value("lastId").toInt(), 0);
    EXPECT_EQ(body.value("platform").toString(), QStringLiteral("macOS"));
    EXPECT_EQ(body.value("language").toString(), QStringLiteral("de"));

    backend.route("POST", kNews, FakeReply::json(QJsonObject{{"status", 500}}));
    ErrorCalls failed;
    QVRequestManager::instance().getServerMessagesForLanguage(QStringLiteral("de"), success.block(),
                                                              failed.block());
    ASSERT_TRUE(settle(failed));
    EXPECT_EQ(failed.arg<0>().code(), 1101);
    EXPECT_EQ(success.count, 1);
}

TEST_F(QVRequestManagerMessagesTest, UpdateNoticesMapTheReplyOrReportTheError) {
    backend.route(
        "POST", kUpdate,
        FakeReply::json(QJsonObject{
            {"versionUpdateData",
             QJsonObject{{"version", "2.4"}, {"description", "Faster"}, {"message", "Update now"}}}}));
    Calls<std::optional<QVVersionUpdateDTO>> notice;
    ErrorCalls failure;
    QVRequestManager::instance().getUpdateVersionUpdateAppWithLanguage(QStringLiteral("en"), notice.block(),
                                                                       failure.block());
    ASSERT_TRUE(settle(notice));
    ASSERT_TRUE(notice.arg<0>().has_value());
    EXPECT_EQ(notice.arg<0>()->updateDescription, QStringLiteral("Faster"));

    backend.route("POST", kUpdate, FakeReply::json(QJsonObject{{"status", 200}}));
    QVRequestManager::instance().getUpdateVersionUpdateAppWithLanguage(QStringLiteral("en"), notice.block(),
                                                                       failure.block());
    ASSERT_TRUE(settle(notice, 2));
    EXPECT_FALSE(notice.arg<0>().has_value()) << "no notice, no error";

    backend.route("POST", kUpdate, FakeReply::json(QJsonObject{{"status", 500}}));
    QVRequestManager::instance().getUpdateVersionUpdateAppWithLanguage(QStringLiteral("en"), notice.block(),
                                                                       failure.block());
    ASSERT_TRUE(settle(failure));
    EXPECT_EQ(reports().last().userInfo.value("message").toString(),
              QStringLiteral("Merovantia getUpdateVersionWithLang"));
}

TEST_F(QVRequestManagerMessagesTest, DeviceRegistrationGoesToThePushHostWithoutTheApiToken) {
    backend.route("POST", kPlayers, FakeReply::json(QJsonObject{{"id", "player-1"}, {"success", true}}));
    Calls<bool> success;
    ErrorCalls failure;
    QVRequestManager::instance().addDeviceWithPushToken(QStringLiteral("0a1b2c"), success.block(),
                                                        failure.block());
    ASSERT_TRUE(settle(success));
    EXPECT_TRUE(success.arg<0>());

    const qvtest::RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.path, kPlayers);
    EXPECT_FALSE(request.hasHeader("Authorization"))
        << "the general API's token stays with the maker's backend";
    const QJsonObject body = request.jsonObject();
    EXPECT_EQ(body.keys(), (QStringList{"app_id", "device_type", "identifier", "language", "platform",
                                        "timezone", "uuid"}));
    EXPECT_EQ(body.value("app_id").toString(), QStringLiteral("b5d17e90-3c6f-48a2-8e5d-91f4c7a2b0e8"));
    EXPECT_EQ(body.value("device_type").toInt(), 9);
    EXPECT_EQ(body.value("identifier").toString(), QStringLiteral("0a1b2c"));
    EXPECT_EQ(body.value("language").toString(), DJLocalizationSystem::shared().language());
    EXPECT_EQ(body.value("timezone").toInteger(),
              QTimeZone::systemTimeZone().offsetFromUtc(QDateTime::currentDateTimeUtc()));
    EXPECT_EQ(body.value("uuid").toString(), uuid);
    EXPECT_TRUE(loggedLines().contains(QStringLiteral("Push notification OneSignal player id: player-1")));
    ASSERT_EQ(analytics.size(), 1);
    EXPECT_EQ(analytics.first().first, QStringLiteral("APP: Main screen: Subscribe to push notifications"));
    EXPECT_EQ(analytics.first().second.value("player_id").toString(), QStringLiteral("player-1"));

    // Without a player id: NO, and nothing for analytics.
    backend.route("POST", kPlayers, FakeReply::json(QJsonObject{{"success", false}}));
    QVRequestManager::instance().addDeviceWithPushToken(QStringLiteral("0a1b2c"), success.block(),
                                                        failure.block());
    ASSERT_TRUE(settle(success, 2));
    EXPECT_FALSE(success.arg<0>());
    EXPECT_EQ(analytics.size(), 1);

    backend.route("POST", kPlayers, FakeReply::json(QJsonObject{{"errors", "bad"}}, 400));
    QVRequestManager::instance().addDeviceWithPushToken(QStringLiteral("0a1b2c"), success.block(),
                                                        failure.block());
    ASSERT_TRUE(settle(failure));
    EXPECT_EQ(failure.arg<0>().code(), 400);
    EXPECT_EQ(success.count, 2);
}

TEST_F(QVRequestManagerMessagesTest, PushApplicationAndTimeZoneFollowTheBundleAndTheClock) {
    const QList<QPair<QString, QString>> bundles = {
        {QStringLiteral("com.tessaphyre.translatormacfree"),
         QStringLiteral("7e3b9c21-5d4a-4f86-9b17-c2e8a0d4f613")},
        {QStringLiteral("com.tessaphyre.translator.mac"),
         QStringLiteral("b5d17e90-3c6f-48a2-8e5d-91f4c7a2b0e8")},
        {QStringLiteral("org.example.other"), QStringLiteral("")},
    };
    for (const auto &[bundle, appId] : bundles) {
        SCOPED_TRACE(bundle.toStdString());
        const QString id = QVRequestManager::pushAppIdForBundleIdentifier(bundle);
        EXPECT_EQ(id, appId);
        EXPECT_FALSE(id.isNull());
        EXPECT_EQ(loggedLines().contains(QStringLiteral("[push] invalid app ID ") + bundle), appId.isEmpty());
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const int offset : {-19800, 0, 3600, 20700}) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(QVRequestManager::timezoneOffsetSeconds(QTimeZone(offset), now), offset);
    }

    platform::Bundle::setBundleIdentifier(QStringLiteral("org.example.other"));
    backend.route("POST", kPlayers, FakeReply::json(QJsonObject{{"id", "p"}}));
    Calls<bool> success;
    QVRequestManager::instance().addDeviceWithPushToken(QStringLiteral("t"), success.block(), {});
    ASSERT_TRUE(settle(success));
    EXPECT_EQ(backend.lastRequest().jsonObject().value("app_id").toString(), QString())
        << "sent all the same";
}

} // namespace
