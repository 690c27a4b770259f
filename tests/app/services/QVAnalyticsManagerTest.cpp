#include "app/services/OnlineServiceTest.h"

#include "services/analytics/QVAmplitudeSink.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/analytics/QVMatomoSink.h"
#include "core/settings/QVAuthService.h"

#include "platform/BackendConfig.h"

#include <QJsonDocument>
#include <QUrlQuery>

using qvtest::FakeReply;

namespace {

struct WebRecord {
    QList<QStringList> views;
    QList<QStringList> events; // category, action, name
    QMap<int, QPair<QString, QString>> variables;
    QString userId;
    QStringList campaigns;
};

class RecordingWebSink : public QVWebAnalyticsSink {
public:
    explicit RecordingWebSink(WebRecord *record) : m(record) {}
    void trackView(const QStringList &path) override { m->views << path; }
    void trackEvent(const QString &c, const QString &a, const QString &n,
                    const std::optional<double> &) override {
        m->events << QStringList{c, a, n};
    }
    void setCustomVariable(int index, const QString &name, const QString &value) override {
        m->variables.insert(index, {name, value});
    }
    void setUserId(const QString &userId) override { m->userId = userId; }
    void trackCampaign(const QString &name, const QString &) override { m->campaigns << name; }
    void flush(int) override {}

private:
    WebRecord *m;
};

struct ProductRecord {
    QList<QPair<QString, QVariantMap>> events;
    QVariantMap userProperties;
    QString userId;
};

class RecordingProductSink : public QVProductAnalyticsSink {
public:
    explicit RecordingProductSink(ProductRecord *record) : m(record) {}
    void logEvent(const QString &type, const QVariantMap &properties) override {
        m->events.append({type, properties});
    }
    void clearUserProperties() override { m->userProperties.clear(); }
    void setUserProperties(const QVariantMap &properties) override { m->userProperties.insert(properties); }
    void setUserId(const QString &userId) override { m->userId = userId; }
    void flush(int) override {}

private:
    ProductRecord *m;
};

// The tracking requests of a bulk body, each as its query items.
QList<QUrlQuery> trackingRequests(const qvtest::RecordedRequest &request) {
    QList<QUrlQuery> out;
    for (const QJsonValue &value : request.jsonObject().value("requests").toArray())
        out << QUrlQuery(value.toString().mid(1));
    return out;
}

} // namespace

class QVAnalyticsManagerTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        install(true);
    }
    void TearDown() override {
        QVAnalyticsManager::shared().setSinks(nullptr, nullptr);
        OnlineServiceTest::TearDown();
    }
    void install(bool withWeb) {
        web = {};
        product = {};
        QVAnalyticsManager::shared().setSinks(withWeb ? std::make_unique<RecordingWebSink>(&web) : nullptr,
                                              std::make_unique<RecordingProductSink>(&product));
    }

    WebRecord web;
    ProductRecord product;
};

TEST_F(QVAnalyticsManagerTest, EventsAreNamedForEachServiceAndLongValuesCutWholeCharacters) {
    const QString a99 = QString(99, 'a');
    const QString combining = QStringLiteral("e\u0301");           // one character, two code units
    const QString thumbs = QStringLiteral("\U0001F44D\U0001F3FD"); // one character, four code units
    struct Case {
        const char *name;
        QVariantMap params;
        QString expected;
    };
    const QList<Case> cases = {
        {"no parameters give no name", {}, QString()},
        {"150 characters are cut to 100",
         {{"text", QString(150, 'x')}},
         QStringLiteral("Properties [text: ") + QString(100, 'x') + "]"},
        {"exactly 100 stay whole",
         {{"text", QString(100, 'y')}},
         QStringLiteral("Properties [text: ") + QString(100, 'y') + "]"},
        {"a combining mark stays with its letter",
         {{"text", a99 + combining + "tail"}},
         QStringLiteral("Properties [text: ") + a99 + combining + "]"},
        {"an emoji with its modifier is not split",
         {{"text", a99 + thumbs + "tail"}},
         QStringLiteral("Properties [text: ") + a99 + thumbs + "]"},
        {"two keys are separated", {{"a", "1"}, {"b", 2}}, QStringLiteral("Properties [a: 1, b: 2]")},
        {"missing values say null", {{"k", QVariant()}}, QStringLiteral("Properties [k: null]")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        install(true);
        QVAnalyticsManager::trackEventWithCategory("Main screen", "Translate", c.params);
        ASSERT_EQ(web.events.size(), 1);
        EXPECT_EQ(web.events.first(), (QStringList{"Main screen", "Translate", c.expected}));
        ASSERT_EQ(product.events.size(), 1);
        EXPECT_EQ(product.events.first().first, QStringLiteral("Main screen: Translate"));
        EXPECT_EQ(product.events.first().second, c.params); // uncut
    }
}

TEST_F(QVAnalyticsManagerTest, ProductEventNameIsTheCategoryAloneWithoutAction) {
    QVAnalyticsManager::trackEventWithCategory(QStringLiteral("APP"), QString(),
                                               QVariantMap{{"source", "user"}});
    ASSERT_EQ(product.events.size(), 1);
    EXPECT_EQ(product.events.first().first, QStringLiteral("APP"));
}

TEST_F(QVAnalyticsManagerTest, ViewsReachWebAnalyticsAndTheirFirstNameProductAnalytics) {
    QVAnalyticsManager::trackViewsFromArray({"settings", "offline"});
    QVAnalyticsManager::trackViewsFromArray({});
    EXPECT_EQ(web.views, (QList<QStringList>{{"settings", "offline"}, {}}));
    ASSERT_EQ(product.events.size(), 1);
    EXPECT_EQ(product.events.first().first, QStringLiteral("settings"));
}

TEST_F(QVAnalyticsManagerTest, BeforeTrackingStartsOnlyProductAnalyticsHearsEvents) {
    install(false);
    QVAnalyticsManager::trackEventWithCategory("APP", "App Open", QVariantMap{{"source", "user"}});
    QVAnalyticsManager::sendCampaign("spring");
    EXPECT_EQ(product.events.size(), 1);
    EXPECT_TRUE(web.events.isEmpty());
    EXPECT_TRUE(web.campaigns.isEmpty());
}

TEST_F(QVAnalyticsManagerTest, UserPropertiesFollowTheAccountAndReachAllThreeServices) {
    struct Case {
        const char *name;
        bool signedIn;
        QString id;
        QString email;
        QString authorized;
    };
    const QList<Case> cases = {
        {"signed out", false, "null", "null", "false"},
        {"signed in", true, "7", "ann@example.org", "true"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.signedIn) {
            import(QStringLiteral("QVAuthProfile"), QVariantMap{{"id", 7}, { "email", "ann@example.org" }});
            QVAuthService::setAuthToken(QStringLiteral("token"));
        }
        install(true);
        QVAnalyticsManager::setCustomVariables();
        EXPECT_EQ(web.variables.keys(), (QList<int>{1, 2, 3, 4, 5, 6, 8, 9, 10, 13}));
        EXPECT_EQ(web.variables.value(4), qMakePair(QStringLiteral("Quorvalde ID"), c.id));
        EXPECT_EQ(web.variables.value(5), qMakePair(QStringLiteral("Carrier"), QStringLiteral("null")));
        EXPECT_EQ(web.variables.value(6), qMakePair(QStringLiteral("User ID"), uuid));
        EXPECT_EQ(web.variables.value(9), qMakePair(QStringLiteral("Email"), c.email));
        EXPECT_EQ(web.variables.value(10), qMakePair(QStringLiteral("Is Authorized"), c.authorized));
        EXPECT_EQ(web.variables.value(13),
                  qMakePair(QStringLiteral("Subplatform"), QStringLiteral("mac_store")));
        EXPECT_EQ(web.userId, uuid);
        EXPECT_EQ(product.userId, uuid);
        EXPECT_EQ(product.userProperties.size(), 12);
        EXPECT_EQ(product.userProperties.value("Bundle").toString(),
                  QStringLiteral("com.tessaphyre.translator.mac"));
        EXPECT_EQ(product.userProperties.value("Quorvalde ID").toString(), c.id);
        EXPECT_EQ(reporter->customKeys.value("Email").toString(), c.email);
        EXPECT_EQ(reporter->customKeys.value("Is Authorized").toString(), c.authorized);
        EXPECT_FALSE(reporter->customKeys.contains("Bundle"));
        EXPECT_FALSE(reporter->customKeys.contains("Build"));
    }
}

TEST_F(QVAnalyticsManagerTest, WebSinkSendsQueuedRequestsInBulkAndKeepsThemWhenRefused) {
    backend.routeSequence("POST", QStringLiteral("/piwik.php"),
                          {FakeReply::withStatus(500), FakeReply::withStatus(204)});
    QVMatomoSink sink(
        QStringLiteral("15"), [this] { return backend.url(QStringLiteral("/piwik.php")); },
        QStringLiteral("0123456789abcdef"), 3600000);
    sink.setCustomVariable(1, QStringLiteral("Platform"), QStringLiteral("Box"));
    sink.setUserId(QStringLiteral("install-1"));
    sink.trackView({QStringLiteral("start")});
    sink.trackCampaign(QStringLiteral("spring"), QString());
    sink.trackEvent(QStringLiteral("Main screen"), QStringLiteral("Translate"),
                    QStringLiteral("Properties [a: 1]"), std::nullopt);

    sink.flush(3000); // refused: both stay queued
    EXPECT_EQ(sink.uploader().queuedCount(), 2);
    sink.flush(3000);
    EXPECT_EQ(sink.uploader().queuedCount(), 0);
    ASSERT_EQ(backend.requestCount(), 2);
    const QList<QUrlQuery> requests = trackingRequests(backend.lastRequest());
    ASSERT_EQ(requests.size(), 2);
    for (const QUrlQuery &query : requests) {
        EXPECT_EQ(query.queryItemValue("idsite"), QStringLiteral("15"));
        EXPECT_EQ(query.queryItemValue("rec"), QStringLiteral("1"));
        EXPECT_EQ(query.queryItemValue("_id"), QStringLiteral("0123456789abcdef"));
        EXPECT_EQ(query.queryItemValue("uid"), QStringLiteral("install-1"));
        EXPECT_EQ(
            QJsonDocument::fromJson(query.queryItemValue("_cvar", QUrl::FullyDecoded).toUtf8()).object(),
            QJsonObject({{"1", QJsonArray{"Platform", "Box"}}}));
    }
    EXPECT_EQ(requests.at(0).queryItemValue("action_name"), QStringLiteral("start"));
    EXPECT_FALSE(requests.at(0).hasQueryItem("_rcn"));
    EXPECT_EQ(requests.at(1).queryItemValue("e_c", QUrl::FullyDecoded), QStringLiteral("Main screen"));
    EXPECT_EQ(requests.at(1).queryItemValue("e_a"), QStringLiteral("Translate"));
    EXPECT_EQ(requests.at(1).queryItemValue("e_n", QUrl::FullyDecoded), QStringLiteral("Properties [a: 1]"));
    EXPECT_EQ(requests.at(1).queryItemValue("_rcn"), QStringLiteral("spring"));
}

TEST_F(QVAnalyticsManagerTest, ProductSinkSendsEventsWithTheKeyAndUserProperties) {
    backend.route("POST", QStringLiteral("/2/httpapi"), FakeReply::json({{"code", 200}}));
    QVAmplitudeSink sink(
        QString::fromLatin1(QVAnalyticsManager::kProductAnalyticsKey),
        [this] { return backend.url(QStringLiteral("/2/httpapi")); }, QStringLiteral("device-1"), 3600000);
    sink.setUserProperties({{"Platform", "Box"}});
    sink.setUserId(QStringLiteral("install-1"));
    sink.logEvent(QStringLiteral("APP: App Open"), {{"source", "user"}});
    sink.clearUserProperties();
    sink.logEvent(QStringLiteral("settings"), {});
    sink.flush(3000);
    ASSERT_EQ(backend.requestCount(), 1);
    const QJsonObject body = backend.lastRequest().jsonObject();
    EXPECT_EQ(body.value("api_key").toString(), QStringLiteral("a4f2c8e19b3d7056e2c1f8a4973b6d05"));
    const QJsonArray events = body.value("events").toArray();
    ASSERT_EQ(events.size(), 2);
    const QJsonObject open = events.at(0).toObject();
    EXPECT_EQ(open.value("event_type").toString(), QStringLiteral("APP: App Open"));
    EXPECT_EQ(open.value("event_properties").toObject(), QJsonObject({{"source", "user"}}));
    EXPECT_EQ(open.value("user_properties").toObject(), QJsonObject({{"Platform", "Box"}}));
    EXPECT_EQ(open.value("user_id").toString(), QStringLiteral("install-1"));
    EXPECT_EQ(open.value("device_id").toString(), QStringLiteral("device-1"));
    EXPECT_FALSE(events.at(1).toObject().contains("user_properties"));
}

TEST_F(QVAnalyticsManagerTest, QuitFlushGivesUpWhenTheServerDoesNotAnswerInTime) {
    backend.route("POST", QStringLiteral("/2/httpapi"), FakeReply::json({}).withDelay(3000));
    QVAmplitudeSink sink(
        QStringLiteral("key"), [this] { return backend.url(QStringLiteral("/2/httpapi")); },
        QStringLiteral("device-1"), 3600000);
    sink.logEvent(QStringLiteral("APP: App Close"), {});
    EXPECT_FALSE(sink.uploader().flush(200));
    EXPECT_TRUE(sink.uploader().isSending());
}
