#include "ModelTestStore.h"

#include "core/models/QVRemoteSettings.h"

#include "platform/BackendConfig.h"

using namespace platform;

namespace {

const QString kRemote = QVRemoteSettings::storeClassName();

// Properties whose built-in default is "none": they stay empty in the default record.
const QStringList kWithoutDefault = {
    QStringLiteral("piwikAnalyticsId"),
    QStringLiteral("appStoreLink"),
    QStringLiteral("ourSiteUpdateLink"),
    QStringLiteral("showUpdateVersion"),
    QStringLiteral("enablePocketTranslatorOneButton"),
};

} // namespace

using QVRemoteSettingsRecord = ModelStoreTest;

TEST_F(QVRemoteSettingsRecord, DefaultRecordHoldsTheBuiltInDefaults) {
    QVRemoteSettings settings;
    write([&](Transaction &tx) { settings = QVRemoteSettings::createWithDefaults(tx); });
    ASSERT_TRUE(settings.isValid());
    EXPECT_EQ(count(kRemote), 1);

    const ObjectSchema schema = QVRemoteSettings::schema();
    EXPECT_EQ(schema.properties().size(), 64);
    EXPECT_EQ(QVRemoteSettings::defaultSettignsValue().size(), 64 - kWithoutDefault.size());
    for (const Property &p : schema.properties()) {
        const QVariant stored = settings.storedValue(p.name);
        if (kWithoutDefault.contains(p.name))
            EXPECT_FALSE(stored.isValid()) << p.name.toStdString();
        else
            EXPECT_TRUE(stored.isValid()) << p.name.toStdString();
    }
    EXPECT_EQ(settings.admobBannerId(), QStringLiteral(""));
    EXPECT_TRUE(settings.useRemoteConfig());
    EXPECT_FALSE(settings.useRatingMessage());
    EXPECT_EQ(settings.useRatingMessageCount(), 15);
    EXPECT_EQ(settings.adsType(), 1);
    EXPECT_EQ(settings.storedValue(QStringLiteral("enableIntroScreen")), QVariant(false));
    EXPECT_EQ(settings.mainScreenAdsType(), 0);
    EXPECT_EQ(settings.onlineSpeechCharacterLimit(), 100);
    EXPECT_EQ(settings.interstitialAdBackground(), 2);
    EXPECT_EQ(settings.localNotificationFireTime(), 172800);
    EXPECT_TRUE(settings.crossPromoPopup());
    EXPECT_EQ(settings.crossPromoEventCount(), 15);
    EXPECT_TRUE(settings.showTranslateSiteButton());
    EXPECT_TRUE(settings.showLocalNotification());
    EXPECT_TRUE(settings.showPushNotification());
    EXPECT_EQ(settings.fileTranslationCharacterLimitRequest(), 50000);
    EXPECT_EQ(settings.showBusinessOfferInterval(), 10);
    EXPECT_EQ(settings.showRegisterOfferInterval(), 0);
    EXPECT_EQ(settings.storedValue(QStringLiteral("supportEmail")), QVariant(QStringLiteral("")));
    EXPECT_EQ(settings.installThankPageFirstOpen(), QVRemoteSettings::notYetSyncedMarker());
    EXPECT_EQ(settings.sparkleUpdateURL(), QVRemoteSettings::defaultSparkleUpdateURL());
    EXPECT_FALSE(settings.showUpdateVersion());
}

TEST_F(QVRemoteSettingsRecord, MarkersAndFeedUseTheMakersDomain) {
    const QString configured = QVRemoteSettings::disabledMarker();
    BackendConfig::overrideHost("QV_MAKER_DOMAIN", QUrl(QStringLiteral("https://maker.example")));
    EXPECT_EQ(QVRemoteSettings::notYetSyncedMarker(), QStringLiteral("http://www.maker.example"));
    EXPECT_EQ(QVRemoteSettings::disabledMarker(), QStringLiteral("http://maker.example"));
    EXPECT_EQ(QVRemoteSettings::defaultSparkleUpdateURL(),
              QStringLiteral("https://maker.example/download/appCastMac.xml"));

    // A domain given with "www." yields the same two markers.
    BackendConfig::overrideHost("QV_MAKER_DOMAIN", QUrl(QStringLiteral("https://www.maker.example")));
    EXPECT_EQ(QVRemoteSettings::notYetSyncedMarker(), QStringLiteral("http://www.maker.example"));
    EXPECT_EQ(QVRemoteSettings::disabledMarker(), QStringLiteral("http://maker.example"));
    EXPECT_EQ(QVRemoteSettings::defaultSparkleUpdateURL(),
              QStringLiteral("https://www.maker.example/download/appCastMac.xml"));
    BackendConfig::overrideHost("QV_MAKER_DOMAIN", QUrl());
    EXPECT_EQ(QVRemoteSettings::disabledMarker(), configured);
    EXPECT_NE(QVRemoteSettings::notYetSyncedMarker(), QVRemoteSettings::disabledMarker());
}

TEST_F(QVRemoteSettingsRecord, EveryConfigurationKeyFillsItsProperty) {
    const ObjectSchema schema = QVRemoteSettings::schema();
    const QVariantMap table = QVRemoteSettings::JSONInboundMappingDictionary();
    ASSERT_EQ(table.size(), 64);
    QVariantMap configuration;
    QVariantMap expected;
    int n = 0;
    for (auto it = table.cbegin(); it != table.cend(); ++it, ++n) {
        const Property *p = schema.propertyNamed(it.value().toString());
        ASSERT_NE(p, nullptr) << it.key().toStdString();
        QVariant v;
        switch (p->type) {
        case PropertyType::Bool:
            v = n % 2 == 0;
            break;
        case PropertyType::Int:
            v = QVariant::fromValue<qint64>(1000 + n);
            break;
        default:
            v = QStringLiteral("value of %1").arg(it.key());
            break;
        }
        configuration.insert(it.key(), v);
        expected.insert(p->name, v);
    }
    const QVRemoteSettings settings(import(kRemote, configuration));
    ASSERT_TRUE(settings.isValid());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        EXPECT_EQ(settings.storedValue(it.key()), it.value()) << it.key().toStdString();
    }
    EXPECT_EQ(settings.onlineSpeechCharacterLimit(),
              configuration.value(QStringLiteral("TTSRequestLimit")).toLongLong());
    EXPECT_EQ(settings.programSiteUrl(), QStringLiteral("value of SiteURL"));
    EXPECT_EQ(settings.fbNativeAd(), QStringLiteral("value of InterstitialNative"));
}

TEST_F(QVRemoteSettingsRecord, AbsentKeysAreStoredAndReadEmptyNeverAsTheBuiltInDefault) {
    write([&](Transaction &tx) { QVRemoteSettings::createWithDefaults(tx); });
    // The whole record is replaced by the configuration.
    QVRemoteSettings settings;
    write([&](Transaction &tx) {
        tx.removeAll(kRemote);
        settings = QVRemoteSettings(JSONMapping::createOrUpdateInRealm(
            tx, kRemote, json(R"({"AdmobBanner": "banner-1", "UseRatingMessage": true, "SparkleUpdateURL": "",
                     "InstallThankPageFirstOpen": "https://thanks.example/page"})")));
    });
    ASSERT_TRUE(settings.isValid());
    EXPECT_EQ(count(kRemote), 1);
    EXPECT_EQ(settings.admobBannerId(), QStringLiteral("banner-1"));
    EXPECT_TRUE(settings.useRatingMessage());
    EXPECT_EQ(settings.installThankPageFirstOpen(), QStringLiteral("https://thanks.example/page"));

    // Every reader whose property has a built-in default gives the empty value:
    // the backend turns a feature off by leaving its key out.
    const struct {
        const char *property;
        std::function<QVariant(const QVRemoteSettings &)> read;
        QVariant empty;
    } readers[] = {
        {"crossPromoPopup", [](const QVRemoteSettings &s) { return QVariant(s.crossPromoPopup()); }, false},
        {"showPushNotification", [](const QVRemoteSettings &s) { return QVariant(s.showPushNotification()); },
         false},
        {"showLocalNotification",
         [](const QVRemoteSettings &s) { return QVariant(s.showLocalNotification()); }, false},
        {"showTranslateSiteButton",
         [](const QVRemoteSettings &s) { return QVariant(s.showTranslateSiteButton()); }, false},
        {"useRemoteConfig", [](const QVRemoteSettings &s) { return QVariant(s.useRemoteConfig()); }, false},
        {"onlineSpeechCharacterLimit",
         [](const QVRemoteSettings &s) { return QVariant(s.onlineSpeechCharacterLimit()); }, qint64(0)},
        {"useRatingMessageCount",
         [](const QVRemoteSettings &s) { return QVariant(s.useRatingMessageCount()); }, qint64(0)},
        {"localNotificationFireTime",
         [](const QVRemoteSettings &s) { return QVariant(s.localNotificationFireTime()); }, qint64(0)},
        {"fileTranslationCharacterLimitRequest",
         [](const QVRemoteSettings &s) { return QVariant(s.fileTranslationCharacterLimitRequest()); },
         qint64(0)},
        {"showBusinessOfferInterval",
         [](const QVRemoteSettings &s) { return QVariant(s.showBusinessOfferInterval()); }, qint64(0)},
        // An empty feed address turns update checks off.
        {"sparkleUpdateURL", [](const QVRemoteSettings &s) { return QVariant(s.sparkleUpdateURL()); },
         QString()},
        {"showUpdateVersion", [](const QVRemoteSettings &s) { return QVariant(s.showUpdateVersion()); },
         false},
    };
    for (const auto &reader : readers) {
        SCOPED_TRACE(reader.property);
        const QString property = QString::fromLatin1(reader.property);
        const QVariant stored = settings.storedValue(property);
        EXPECT_TRUE(!stored.isValid() || stored == QVariant(QStringLiteral("")));
        EXPECT_EQ(reader.read(settings).toString(), reader.empty.toString());
        const QVariant builtIn = QVRemoteSettings::defaultSettignsValue().value(property);
        if (builtIn.isValid()) {
            EXPECT_NE(reader.read(settings).toString(), builtIn.toString());
        }
    }
    EXPECT_TRUE(settings.appStoreLink().isNull());

    // Without the thank-you address a synced record must not read as unsynced.
    write([&](Transaction &tx) {
        tx.removeAll(kRemote);
        settings =
            QVRemoteSettings(JSONMapping::createOrUpdateInRealm(tx, kRemote, json(R"({"AdsType": 3})")));
    });
    EXPECT_TRUE(settings.installThankPageFirstOpen().isEmpty());
    EXPECT_NE(settings.installThankPageFirstOpen(), QVRemoteSettings::notYetSyncedMarker());
}

TEST_F(QVRemoteSettingsRecord, ConfigurationWithoutBannerOrWithBadValuesIsStillStored) {
    const QVRemoteSettings settings(import(kRemote, json(R"({"AdmobBanner": null, "TTSRequestLimit": "300",
        "RatingTranslationEventCount": "lots", "UseRemoteConfig": "false", "SupportEmail": {"a": 1},
        "ShowNews": 1, "FileTranslationCharacterLimitRequest": 1.5, "CrossPromoRepeat": [true]})")));
    ASSERT_TRUE(settings.isValid());
    EXPECT_EQ(settings.admobBannerId(), QStringLiteral(""));
    EXPECT_EQ(settings.onlineSpeechCharacterLimit(), 300);
    // A value that does not fit is left empty, as if the key were absent.
    EXPECT_FALSE(settings.storedValue(QStringLiteral("useRatingMessageCount")).isValid());
    EXPECT_EQ(settings.useRatingMessageCount(), 0);
    EXPECT_FALSE(settings.useRemoteConfig());
    EXPECT_EQ(settings.supportEmail(), QString());
    EXPECT_TRUE(settings.showServerMessages());
    EXPECT_EQ(settings.fileTranslationCharacterLimitRequest(), 0);
    EXPECT_FALSE(settings.crossPromoRepeat());

    EXPECT_FALSE(import(kRemote, json(R"({"AdsType": 2})")).isNull());
    EXPECT_EQ(count(kRemote), 1); // the same empty key: updated in place
}

TEST_F(QVRemoteSettingsRecord, BannerOfAnyJsonTypeKeepsTheWholeConfiguration) {
    const struct {
        const char *banner; // JSON text of the "AdmobBanner" value; null: key absent
        const char *key;
    } cases[] = {
        {R"("ca-app-1")", "ca-app-1"}, {"false", "false"}, {"true", "true"}, {"42", "42"},  {"2.5", "2.5"},
        {R"({"id": "x"})", ""},        {"[1, 2]", ""},     {"null", ""},     {nullptr, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.banner ? c.banner : "absent");
        write([&](Transaction &tx) { tx.removeAll(kRemote); });
        const QByteArray text =
            c.banner ? QByteArray(R"({"AdmobBanner": )") + c.banner + R"(, "AdsType": 3, "ShowNews": true})"
                     : QByteArray(R"({"AdsType": 3, "ShowNews": true})");
        const QVRemoteSettings settings(import(kRemote, json(text.constData())));
        ASSERT_TRUE(settings.isValid());
        EXPECT_EQ(settings.admobBannerId(), QString::fromLatin1(c.key));
        EXPECT_EQ(settings.adsType(), 3);
        EXPECT_TRUE(settings.showServerMessages());
        EXPECT_EQ(count(kRemote), 1);
    }
}
