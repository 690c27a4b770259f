#include "app/services/OnlineServiceTest.h"

#include "core/DevLogger.h"
#include "core/models/QVCrossApp.h"
#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "startup/QVConfigurationPipeline.h"
#include "startup/QVUpdateChecker.h"

#include "ui/foundation/QVMUtils.h"

#include "platform/Bundle.h"

#include <stdexcept>

using qvtest::FakeReply;

namespace {

const QString kRemote = QVRemoteSettings::storeClassName();
const char *const kConfigPath = "/api/app/config";
const char *const kCrossPromoPath = "/api/crossPromotionTable/config";

class RecordingProductSink : public QVProductAnalyticsSink {
public:
    explicit RecordingProductSink(QStringList *events) : m_events(events) {}
    void logEvent(const QString &type, const QVariantMap &) override { *m_events << type; }
    void clearUserProperties() override {}
    void setUserProperties(const QVariantMap &) override {}
    void setUserId(const QString &) override {}
    void flush(int) override {}

private:
    QStringList *m_events;
};

class QVConfigurationPipelineTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        pipeline().reset();
        pipeline().setUpdateChecker(&checker);
        pipeline().setUrlOpener([this](const QUrl &url) {
            opened << url;
            return openerSucceeds;
        });
        QVAnalyticsManager::shared().setSinks(nullptr, std::make_unique<RecordingProductSink>(&events));
        backend.route("POST", kCrossPromoPath, FakeReply::json({{"status", 200}, {"config", QJsonArray()}}));
    }
    void TearDown() override {
        pipeline().reset();
        QVAnalyticsManager::shared().setSinks(nullptr, nullptr);
        OnlineServiceTest::TearDown();
    }

    static QVConfigurationPipeline &pipeline() { return QVConfigurationPipeline::shared(); }

    void routeConfig(const QJsonObject &config) {
        backend.route("POST", kConfigPath, FakeReply::json({{"status", 200}, {"config", config}}));
    }
    // Runs the pipeline and waits until its configuration request has been answered.
    void launch(bool atLaunch = true) {
        const int before = int(backend.requests("POST", kConfigPath).size());
        pipeline().getRemoteSettings(atLaunch);
        ASSERT_TRUE(backend.waitForRequests("POST", kConfigPath, before + 1));
        qvtest::spin(100);
    }
    QVRemoteSettings linked() const { return QVSettingsService::defaultSettings().remoteSettings(); }
    bool logged(const QString &line) { return loggedLines().contains(line); }
    int loggedCount(const QString &line) { return int(loggedLines().count(line)); }
    bool reportedWith(const QString &message) {
        for (const auto &record : reports())
            if (record.userInfo.value(DevLogger::kMessageKey).toString() == message)
                return true;
        return false;
    }
    bool thankYouFlag() const {
        return QVMUtils::sharedDefaults().boolForKey(QVConfigurationPipeline::kThankYouPageKey);
    }

    QVUpdateChecker checker;
    QList<QUrl> opened;
    bool openerSucceeds = true;
    QStringList events;
};

TEST_F(QVConfigurationPipelineTest, FirstLaunchWithBackendUnreachableStoresTheDefaultsAndCountsTheLaunch) {
    backend.route("POST", kConfigPath, FakeReply::drop());
    backend.route("POST", kCrossPromoPath, FakeReply::drop());
    launch();

    ASSERT_EQ(count(kRemote), 1);
    const QVRemoteSettings record = linked();
    ASSERT_TRUE(record.isValid());
    EXPECT_EQ(record.installThankPageFirstOpen(), QVRemoteSettings::notYetSyncedMarker());
    EXPECT_EQ(record.onlineSpeechCharacterLimit(), 100);
    EXPECT_EQ(QVSettingsService::defaultSettings().countOfLaunch(), 1);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(thankYouFlag());

    launch(); // the second launch keeps the record and counts again
    EXPECT_EQ(count(kRemote), 1);
    EXPECT_EQ(QVSettingsService::defaultSettings().countOfLaunch(), 2);
    EXPECT_EQ(loggedCount(QStringLiteral("__WILL_CREATE_DEFAUKT_REALM_BASE__")), 1);
}

TEST_F(QVConfigurationPipelineTest, ConfigurationReplacesTheRecordWholeAndAnErrorKeepsIt) {
    routeConfig({{"AdmobBanner", "banner-2"}, {"SupportEmail", "help@maker.example"}});
    launch();

    ASSERT_EQ(count(kRemote), 1);
    QVRemoteSettings record = linked();
    ASSERT_TRUE(record.isValid());
    EXPECT_EQ(record.admobBannerId(), QStringLiteral("banner-2"));
    EXPECT_EQ(record.supportEmail(), QStringLiteral("help@maker.example"));
    // Keys the configuration lacks stay empty rather than taking the built-in defaults.
    EXPECT_FALSE(record.storedValue(QStringLiteral("onlineSpeechCharacterLimit")).isValid());
    EXPECT_FALSE(record.storedValue(QStringLiteral("installThankPageFirstOpen")).isValid());

    struct Case {
        const char *name;
        FakeReply reply;
    };
    const Case failures[] = {
        {"status 403", FakeReply::json({{"status", 403}})},
        {"server error", FakeReply::withStatus(500)},
        {"connection dropped", FakeReply::drop()},
        {"no configuration", FakeReply::json({{"status", 200}})},
    };
    for (const Case &c : failures) {
        SCOPED_TRACE(c.name);
        backend.route("POST", kConfigPath, c.reply);
        launch();
        ASSERT_EQ(count(kRemote), 1);
        record = linked();
        ASSERT_TRUE(record.isValid());
        EXPECT_EQ(record.admobBannerId(), QStringLiteral("banner-2"));
        EXPECT_EQ(record.supportEmail(), QStringLiteral("help@maker.example"));
    }
}

TEST_F(QVConfigurationPipelineTest, ReplacementFailingHalfWayKeepsTheOldRecordLinked) {
    routeConfig({{"AdmobBanner", "old"}, {"SupportEmail", "old@maker.example"}});
    launch();
    ASSERT_EQ(linked().admobBannerId(), QStringLiteral("old"));

    int probed = 0;
    pipeline().setReplacementProbe([&probed] {
        ++probed;
        throw std::runtime_error("disk gone");
    });
    routeConfig({{"AdmobBanner", "new"}, {"SupportEmail", "new@maker.example"}});
    launch();

    EXPECT_EQ(probed, 1);
    ASSERT_EQ(count(kRemote), 1);
    const QVRemoteSettings record = linked();
    ASSERT_TRUE(record.isValid());
    EXPECT_EQ(record.admobBannerId(), QStringLiteral("old"));
    EXPECT_EQ(record.supportEmail(), QStringLiteral("old@maker.example"));
    EXPECT_TRUE(reportedWith(QString::fromLatin1(QVConfigurationPipeline::kRemoteSettingsMessage)));
}

TEST_F(QVConfigurationPipelineTest, ThankYouPageFollowsTheStoredAddress) {
    struct Case {
        const char *name;
        QString address;
        QString line;
        int opens;
    };
    const Case cases[] = {
        {"disabled", QVRemoteSettings::disabledMarker(), QVConfigurationPipeline::kDisabledLog, 0},
        {"not yet synced", QVRemoteSettings::notYetSyncedMarker(), QVConfigurationPipeline::kNotYetSyncedLog,
         0},
        {"no address", QString(), QString(), 0},
        {"a page", QStringLiteral("http://maker.example/thanks"), QString(), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        pipeline().reset();
        pipeline().setUpdateChecker(&checker);
        pipeline().setRecheckIntervalMs(60000); // the re-check itself is another test's
        pipeline().setUrlOpener([this](const QUrl &url) {
            opened << url;
            return true;
        });
        opened.clear();
        QVMUtils::sharedDefaults().removeObject(QVConfigurationPipeline::kThankYouPageKey);
        QJsonObject config{{"AdmobBanner", "b"}};
        if (!c.address.isEmpty())
            config.insert("InstallThankPageFirstOpen", c.address);
        routeConfig(config);
        launch();
        EXPECT_EQ(opened.size(), c.opens);
        EXPECT_EQ(thankYouFlag(), c.opens > 0);
        if (!c.line.isEmpty()) {
            EXPECT_TRUE(logged(c.line));
        }
    }
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toString(),
              QStringLiteral("https://maker.example/thanks?platform=macos&subplatform=mac_store&uuid=") +
                  uuid);
    EXPECT_EQ(events, QStringList{QStringLiteral("APP: Thank you install page open")});

    // The next launch finds the flag.
    launch();
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(logged(QVConfigurationPipeline::kOpenedPreviouslyLog));
}

TEST_F(QVConfigurationPipelineTest, ThankYouFlagIsSetOnlyAfterThePageOpened) {
    routeConfig({{"AdmobBanner", "b"}, {"InstallThankPageFirstOpen", "https://maker.example/thanks"}});
    openerSucceeds = false;
    launch();
    EXPECT_EQ(opened.size(), 1);
    EXPECT_FALSE(thankYouFlag());
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(logged(QVConfigurationPipeline::kOpenFailedLog));

    openerSucceeds = true;
    launch();
    EXPECT_EQ(opened.size(), 2);
    EXPECT_TRUE(thankYouFlag());
    EXPECT_EQ(events.size(), 1);

    launch(false); // not at launch: the page is not considered
    EXPECT_EQ(opened.size(), 2);
}

TEST_F(QVConfigurationPipelineTest, NotYetSyncedRecheckStopsAfterBoundedTries) {
    pipeline().setRecheckIntervalMs(1);
    routeConfig(
        {{"AdmobBanner", "b"}, {"InstallThankPageFirstOpen", QVRemoteSettings::notYetSyncedMarker()}});
    launch();
    const QString givenUp = QStringLiteral("[remote] thank-you page re-check stopped after %1 tries")
                                .arg(QVConfigurationPipeline::kMaxRechecks);
    ASSERT_TRUE(qvtest::waitUntil([&] { return logged(givenUp); }));
    qvtest::spin(100);
    EXPECT_EQ(pipeline().recheckCount(), QVConfigurationPipeline::kMaxRechecks);
    EXPECT_EQ(loggedCount(QVConfigurationPipeline::kNotYetSyncedLog),
              QVConfigurationPipeline::kMaxRechecks + 1);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(QVConfigurationPipelineTest, ThankYouUrlIsHttpsWithTheQueryItemsInOrder) {
    struct Case {
        const char *base;
        const char *bundle;
        const char *expected; // "{uuid}" stands for the bundle's installation identifier; empty: no URL
    };
    const Case cases[] = {
        {"https://maker.example/thanks", "com.tessaphyre.translator.mac",
         "https://maker.example/thanks?platform=macos&subplatform=mac_store&uuid={uuid}"},
        {"http://maker.example/thanks", "com.tessaphyre.translator.mac",
         "https://maker.example/thanks?platform=macos&subplatform=mac_store&uuid={uuid}"},
        {"HTTP://www.maker.example:8443/a/b/", "com.tessaphyre.translatormacfree",
         "https://www.maker.example:8443/a/b/?platform=macos&subplatform=quorvalde&uuid={uuid}"},
        {"maker.example", "org.example.other",
         "https://maker.example?platform=macos&subplatform=-&uuid={uuid}"},
        {"https://maker.example/p?ref=app&uuid=old", "com.tessaphyre.translator.mac",
         "https://maker.example/p?ref=app&platform=macos&subplatform=mac_store&uuid={uuid}"},
        {"", "com.tessaphyre.translator.mac", ""},
        {"https://", "com.tessaphyre.translator.mac", ""},
        {"http:// bad host/x", "com.tessaphyre.translator.mac", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.base);
        platform::Bundle::setBundleIdentifier(QString::fromLatin1(c.bundle));
        // The identity is kept per bundle identifier.
        QString installation;
        MFDataManager::sharedDataManager().saveAppKey(
            QStringLiteral("test-app-key"), [&installation](const QString &id) { installation = id; });
        ASSERT_EQ(installation.size(), 36);
        const QUrl url = QVConfigurationPipeline::prepareURLtoOpenFromBaseURL(QString::fromLatin1(c.base));
        const QString expected =
            QString::fromLatin1(c.expected).replace(QStringLiteral("{uuid}"), installation);
        if (expected.isEmpty()) {
            EXPECT_FALSE(url.isValid()) << url.toString().toStdString();
        } else {
            EXPECT_EQ(url.toString().toStdString(), expected.toStdString());
        }
    }
    platform::Bundle::setBundleIdentifier({});
}

TEST_F(QVConfigurationPipelineTest, ThankYouUrlWithoutInstallationIdentifierCarriesADash) {
    merovantia::KeychainStore::setShared(
        std::make_shared<merovantia::FileKeychainStore>(home.filePath(QStringLiteral("empty-keychain"))));
    EXPECT_EQ(QVConfigurationPipeline::prepareURLtoOpenFromBaseURL(QStringLiteral("https://maker.example/t"))
                  .toString(),
              QStringLiteral("https://maker.example/t?platform=macos&subplatform=mac_store&uuid=-"));
}

TEST_F(QVConfigurationPipelineTest, UserIdComesFromTheConfigurationElseFromTheInstallation) {
    struct Case {
        const char *name;
        QJsonObject config;
        QString expected;
    };
    const Case cases[] = {
        {"with PiwikAnalyticsId", {{"AdmobBanner", "b"}, {"PiwikAnalyticsId", "piwik-42"}}, "piwik-42"},
        {"without", {{"AdmobBanner", "b"}}, uuid},
        {"empty PiwikAnalyticsId", {{"AdmobBanner", "b"}, {"PiwikAnalyticsId", ""}}, uuid},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        reporter->userId.clear();
        routeConfig(c.config);
        launch();
        EXPECT_EQ(QVSettingsService::defaultSettings().userId(), c.expected);
        EXPECT_EQ(reporter->userId, c.expected);
        EXPECT_FALSE(
            reporter->customKeys.value(QVConfigurationPipeline::kLocaleLanguageCodeKey).toString().isEmpty());
    }
}

TEST_F(QVConfigurationPipelineTest, UpdateChecksFollowTheConfiguration) {
    struct Case {
        const char *name;
        QJsonObject extra;
        bool automatic;
        int checks;
        bool feedKept;
    };
    const QString feed = QStringLiteral("https://127.0.0.1:9/download/appCastMac.xml");
    const Case cases[] = {
        {"no UpdateVersion", {{"SparkleUpdateURL", feed}}, false, 0, true},
        {"UpdateVersion false", {{"SparkleUpdateURL", feed}, {"UpdateVersion", false}}, false, 0, true},
        {"UpdateVersion true", {{"SparkleUpdateURL", feed}, {"UpdateVersion", true}}, true, 1, true},
        {"http feed",
         {{"SparkleUpdateURL", "http://127.0.0.1:9/appCastMac.xml"}, {"UpdateVersion", true}},
         true,
         0,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVUpdateChecker local;
        pipeline().setUpdateChecker(&local);
        QJsonObject config = c.extra;
        config.insert("AdmobBanner", "b");
        routeConfig(config);
        launch(false);
        EXPECT_EQ(local.automaticallyChecksForUpdates(), c.automatic);
        EXPECT_EQ(local.checksStarted(), c.checks);
        EXPECT_EQ(local.feedURL().isValid(), c.feedKept);
        if (c.automatic) {
            EXPECT_EQ(local.updateCheckInterval(), QVConfigurationPipeline::kUpdateCheckIntervalSeconds);
        }
        qvtest::waitUntil([&] { return !local.isChecking(); });
        pipeline().setUpdateChecker(&checker);
    }
}

TEST_F(QVConfigurationPipelineTest, CrossPromotionIsSavedOrTheFailureReported) {
    backend.route("POST", kConfigPath, FakeReply::drop());
    backend.route(
        "POST", kCrossPromoPath,
        FakeReply::json({{"status", 200},
                         {"config", QJsonArray{QJsonObject{{"index", "scanner"}, {"title", "Scanner"}}}}}));
    pipeline().getCrossPromoConfig();
    ASSERT_TRUE(qvtest::waitUntil([&] { return logged(QStringLiteral("__CROSS__PROMO__SAVED__")); }));
    EXPECT_EQ(count(QVCrossApp::storeClassName()), 1);

    backend.route("POST", kCrossPromoPath, FakeReply::withStatus(500));
    pipeline().getCrossPromoConfig();
    ASSERT_TRUE(qvtest::waitUntil(
        [&] { return reportedWith(QString::fromLatin1(QVConfigurationPipeline::kCrossPromoMessage)); }));
    EXPECT_EQ(count(QVCrossApp::storeClassName()), 1);
}

TEST_F(QVConfigurationPipelineTest, BackendClientIsStartedBeforeTheCrossPromotionRequest) {
    // A first launch: no identity stored yet.
    merovantia::KeychainStore::setShared(std::make_shared<merovantia::FileKeychainStore>(
        home.filePath(QStringLiteral("first-launch-keychain"))));
    ASSERT_TRUE(MFDataManager::sharedDataManager().uuid().isEmpty());
    backend.route("POST", kConfigPath, FakeReply::drop());
    launch();

    const QList<qvtest::RecordedRequest> promo = backend.requests("POST", kCrossPromoPath);
    ASSERT_EQ(promo.size(), 1);
    const QString installation = MFDataManager::sharedDataManager().uuid();
    ASSERT_EQ(installation.size(), 36);
    EXPECT_EQ(promo.first().jsonObject().value("appKey").toString(),
              QString::fromLatin1(QVConfigurationPipeline::kApplicationKey));
    EXPECT_EQ(promo.first().jsonObject().value("uuid").toString(), installation);
    EXPECT_EQ(QVSettingsService::defaultSettings().userId(), installation);
}

} // namespace
