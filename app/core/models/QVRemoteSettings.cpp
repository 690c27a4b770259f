#include "core/models/QVRemoteSettings.h"

#include "platform/BackendConfig.h"

#include <QLocale>

#include <cmath>

using platform::PropertyType;

namespace {

struct Field {
    const char *jsonKey;
    const char *property;
    PropertyType type;
};

const char *const kPrimaryKey = "admobBannerId";
const char *const kPrimaryKeyJSON = "AdmobBanner";

// In declaration order.
const QList<Field> &fields() {
    static const QList<Field> table = {
        {"PiwikAnalyticsId", "piwikAnalyticsId", PropertyType::String},
        {"UseRemoteConfig", "useRemoteConfig", PropertyType::Bool},
        {"UseRatingMessage", "useRatingMessage", PropertyType::Bool},
        {"RatingTranslationEventCount", "useRatingMessageCount", PropertyType::Int},
        {"AdsType", "adsType", PropertyType::Int},
        {"EnableIntroScreen", "enableIntroScreen", PropertyType::Bool},
        {"MainScreenAdsType", "mainScreenAdsType", PropertyType::Int},
        {"TTSRequestLimit", "onlineSpeechCharacterLimit", PropertyType::Int},
        {"ShowMoreAppsButton", "showMoreApps", PropertyType::Bool},
        {"HistoryNativeAdStep", "historyAdNativeCount", PropertyType::Int},
        {"PhrasebookNativeAdsStep", "phrasebookNativeAdStep", PropertyType::Int},
        {"InterstitialAdBackground", "interstitialAdBackground", PropertyType::Int},
        {"SupportEmail", "supportEmail", PropertyType::String},
        {"FaqURL", "faqUrl", PropertyType::String},
        {"FacebookURL", "facebookUrl", PropertyType::String},
        {"LinkedInURL", "linkedInUrl", PropertyType::String},
        {"InstagramURL", "instagramUrl", PropertyType::String},
        {"VkontakteURL", "vkontakteURL", PropertyType::String},
        {"TwitterURL", "twitterURL", PropertyType::String},
        {"TelegramURL", "telegramURL", PropertyType::String},
        {"PhoneCallAppURL", "phoneCallAppURL", PropertyType::String},
        {"TermsAndConditionsURL", "termsUrl", PropertyType::String},
        {"PrivacyURL", "privacyUrl", PropertyType::String},
        {"SiteURL", "programSiteUrl", PropertyType::String},
        {"StoreLink", "storeLink", PropertyType::String},
        {"AppStoreLink", "appStoreLink", PropertyType::String},
        {"OurSiteUpdateLink", "ourSiteUpdateLink", PropertyType::String},
        {"AppInfoURL", "appInfoURL", PropertyType::String},
        {"MoreAppsURL", "moreAppsURL", PropertyType::String},
        {"ThirdPartyURL", "thirdPartyURL", PropertyType::String},
        {"ShowPushNotificationDesc", "showPushNotificationDesc", PropertyType::Bool},
        {"ShowTranslateSiteButton", "showTranslateSiteButton", PropertyType::Bool},
        {"AdmobBanner", "admobBannerId", PropertyType::String},
        {"AdmobInterstitial", "admobInterstitialId", PropertyType::String},
        {"AdmobNative", "admobNativeAd", PropertyType::String},
        {"FacebookBanner", "fbBannerId", PropertyType::String},
        {"FacebookInterstitial", "fbInterstitialId", PropertyType::String},
        {"InterstitialNative", "fbNativeAd", PropertyType::String},
        {"LocalNotificationFireTime", "localNotificationFireTime", PropertyType::Int},
        {"UseCrossPromoPopup", "crossPromoPopup", PropertyType::Bool},
        {"CrossPromoPopupEventCount", "crossPromoEventCount", PropertyType::Int},
        {"CrossPromoRepeat", "crossPromoRepeat", PropertyType::Bool},
        {"ShowNews", "showServerMessages", PropertyType::Bool},
        {"ShowLocalNotification", "showLocalNotification", PropertyType::Bool},
        {"ShowPushNotification", "showPushNotification", PropertyType::Bool},
        {"UpdateVersion", "showUpdateVersion", PropertyType::Bool},
        {"EnableToolTips", "enableToolTips", PropertyType::Bool},
        {"EnablePocketTranslatorOneButton", "enablePocketTranslatorOneButton", PropertyType::Bool},
        {"FileTranslationCharacterLimitRequest", "fileTranslationCharacterLimitRequest", PropertyType::Int},
        {"VideoWatchURL", "videoWatchURL", PropertyType::String},
        {"VideoWidgetURL", "videoWidgetURL", PropertyType::String},
        {"VideoShareURL", "videoShareURL", PropertyType::String},
        {"VideoKeyboardURL", "videoKeyboardURL", PropertyType::String},
        {"VideoiMessageURL", "videoiMessageURL", PropertyType::String},
        {"VideoSafariURL", "videoSafariURL", PropertyType::String},
        {"VideoPocketChatURL", "videoPocketChatURL", PropertyType::String},
        {"VideoHeadphonesChatURL", "videoHeadphonesChatURL", PropertyType::String},
        {"VideoConferenceChatURL", "videoConferenceChatURL", PropertyType::String},
        {"VideoCardsURL", "videoCardsURL", PropertyType::String},
        {"ShowBusinessOfferInterval", "showBusinessOfferInterval", PropertyType::Int},
        {"BusinessOfferURL", "businessOfferURL", PropertyType::String},
        {"SparkleUpdateURL", "sparkleUpdateURL", PropertyType::String},
        {"ShowRegisterOfferInterval", "showRegisterOfferInterval", PropertyType::Int},
        {"InstallThankPageFirstOpen", "installThankPageFirstOpen", PropertyType::String},
    };
    return table;
}

QString makerHost() {
    QString host = platform::BackendConfig::makerDomain().host();
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    return host;
}

// The primary key as text: numbers and booleans by their text, anything
// else (an object, an array, null) as "", so the configuration is kept.
QString bannerKeyText(const QVariant &banner) {
    switch (banner.typeId()) {
    case QMetaType::QString:
        return banner.toString();
    case QMetaType::Bool:
        return banner.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return banner.toString();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = banner.toDouble();
        return std::isfinite(d) ? QString::number(d, 'g', QLocale::FloatingPointShortest)
                                : QString(QLatin1String(""));
    }
    default:
        return QString(QLatin1String(""));
    }
}

} // namespace

platform::ObjectSchema QVRemoteSettings::schema() {
    platform::ObjectSchema schema(storeClassName());
    for (const Field &field : fields()) {
        const QString name = QString::fromLatin1(field.property);
        if (name == QLatin1String(kPrimaryKey))
            schema.primaryKey(name, field.type);
        else
            schema.property(name, field.type);
    }
    return schema;
}

QString QVRemoteSettings::primaryKey() {
    return QString::fromLatin1(kPrimaryKey);
}

QVariantMap QVRemoteSettings::defaultSettignsValue() {
    return {
        {QStringLiteral("useRemoteConfig"), true},
        {QStringLiteral("useRatingMessage"), false},
        {QStringLiteral("useRatingMessageCount"), qint64(15)},
        {QStringLiteral("adsType"), qint64(1)},
        {QStringLiteral("enableIntroScreen"), false},
        {QStringLiteral("mainScreenAdsType"), qint64(0)},
        {QStringLiteral("onlineSpeechCharacterLimit"), qint64(100)},
        {QStringLiteral("showMoreApps"), false},
        {QStringLiteral("historyAdNativeCount"), qint64(15)},
        {QStringLiteral("phrasebookNativeAdStep"), qint64(15)},
        {QStringLiteral("interstitialAdBackground"), qint64(2)},
        {QStringLiteral("supportEmail"), QString(QLatin1String(""))},
        {QStringLiteral("faqUrl"), QString(QLatin1String(""))},
        {QStringLiteral("facebookUrl"), QString(QLatin1String(""))},
        {QStringLiteral("linkedInUrl"), QString(QLatin1String(""))},
        {QStringLiteral("instagramUrl"), QString(QLatin1String(""))},
        {QStringLiteral("vkontakteURL"), QString(QLatin1String(""))},
        {QStringLiteral("twitterURL"), QString(QLatin1String(""))},
        {QStringLiteral("telegramURL"), QString(QLatin1String(""))},
        {QStringLiteral("phoneCallAppURL"), QString(QLatin1String(""))},
        {QStringLiteral("termsUrl"), QString(QLatin1String(""))},
        {QStringLiteral("privacyUrl"), QString(QLatin1String(""))},
        {QStringLiteral("programSiteUrl"), QString(QLatin1String(""))},
        {QStringLiteral("storeLink"), QString(QLatin1String(""))},
        {QStringLiteral("appInfoURL"), QString(QLatin1String(""))},
        {QStringLiteral("moreAppsURL"), QString(QLatin1String(""))},
        {QStringLiteral("thirdPartyURL"), QString(QLatin1String(""))},
        {QStringLiteral("showPushNotificationDesc"), false},
        {QStringLiteral("showTranslateSiteButton"), true},
        {QStringLiteral("admobBannerId"), QString(QLatin1String(""))},
        {QStringLiteral("admobInterstitialId"), QString(QLatin1String(""))},
        {QStringLiteral("admobNativeAd"), QString(QLatin1String(""))},
        {QStringLiteral("fbBannerId"), QString(QLatin1String(""))},
        {QStringLiteral("fbInterstitialId"), QString(QLatin1String(""))},
        {QStringLiteral("fbNativeAd"), QString(QLatin1String(""))},
        {QStringLiteral("localNotificationFireTime"), qint64(172800)},
        {QStringLiteral("crossPromoPopup"), true},
        {QStringLiteral("crossPromoEventCount"), qint64(15)},
        {QStringLiteral("crossPromoRepeat"), false},
        {QStringLiteral("showServerMessages"), false},
        {QStringLiteral("showLocalNotification"), true},
        {QStringLiteral("showPushNotification"), true},
        {QStringLiteral("enableToolTips"), false},
        {QStringLiteral("fileTranslationCharacterLimitRequest"), qint64(50000)},
        {QStringLiteral("videoWatchURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoWidgetURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoShareURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoKeyboardURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoiMessageURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoSafariURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoPocketChatURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoHeadphonesChatURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoConferenceChatURL"), QString(QLatin1String(""))},
        {QStringLiteral("videoCardsURL"), QString(QLatin1String(""))},
        {QStringLiteral("showBusinessOfferInterval"), qint64(10)},
        {QStringLiteral("businessOfferURL"), QString(QLatin1String(""))},
        {QStringLiteral("sparkleUpdateURL"), defaultSparkleUpdateURL()},
        {QStringLiteral("showRegisterOfferInterval"), qint64(0)},
        {QStringLiteral("installThankPageFirstOpen"), notYetSyncedMarker()},
    };
}

QVariantMap QVRemoteSettings::JSONInboundMappingDictionary() {
    QVariantMap table;
    for (const Field &field : fields())
        table.insert(QString::fromLatin1(field.jsonKey), QString::fromLatin1(field.property));
    return table;
}

QVariantMap QVRemoteSettings::preprocessedJSON(const QVariantMap &json) {
    // The store refuses a record without its key, which would lose the whole configuration.
    const QString key = QString::fromLatin1(kPrimaryKeyJSON);
    QVariantMap out = json;
    out.insert(key, bannerKeyText(json.value(key)));
    return out;
}

QString QVRemoteSettings::notYetSyncedMarker() {
    return QStringLiteral("http://www.") + makerHost();
}

QString QVRemoteSettings::disabledMarker() {
    return QStringLiteral("http://") + makerHost();
}

QString QVRemoteSettings::defaultSparkleUpdateURL() {
    QUrl url = platform::BackendConfig::makerDomain();
    url.setPath(QStringLiteral("/download/appCastMac.xml"));
    return url.toString();
}

QVRemoteSettings QVRemoteSettings::createWithDefaults(platform::Transaction &tx) {
    return QVRemoteSettings(tx.createOrUpdate(storeClassName(), defaultSettignsValue()));
}
