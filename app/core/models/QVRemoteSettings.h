#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// The run-time configuration delivered by the backend at every launch (feature
// switches, limits, links, the update feed, the install thank-you page).
//
// At most one record is stored, linked from the settings record. Before any
// configuration arrives it holds the built-in defaults (createWithDefaults);
// each configuration then replaces it whole, and a key the configuration lacks
// stays empty: that is how the backend turns a feature off. Readers give the
// value as stored, an empty one reading as NO, 0 or an empty string; they
// never fall back to the built-in defaults.
class QVRemoteSettings : public platform::Object {
public:
    QV_STORE_MODEL(QVRemoteSettings)

    static platform::ObjectSchema schema();
    static QString primaryKey();
    // Built-in defaults, property -> value; properties without one are absent.
    static QVariantMap defaultSettignsValue();
    // Configuration key -> property.
    static QVariantMap JSONInboundMappingDictionary();
    // A configuration whose "AdmobBanner" is missing or not text still makes a
    // record: the key becomes the text of a number or boolean, else "".
    static QVariantMap preprocessedJSON(const QVariantMap &json);

    // installThankPageFirstOpen before the first configuration arrives ("http://www." + maker's domain).
    static QString notYetSyncedMarker();
    // installThankPageFirstOpen when the backend turns the page off ("http://" + maker's domain).
    static QString disabledMarker();
    static QString defaultSparkleUpdateURL();

    // A new stored record holding the built-in defaults (updates one with the same key).
    static QVRemoteSettings createWithDefaults(platform::Transaction &tx);

    QVariant storedValue(const QString &property) const { return value(property); }

    QV_STORE_PROPERTY(QString, piwikAnalyticsId, setPiwikAnalyticsId)
    QV_STORE_PROPERTY(bool, useRemoteConfig, setUseRemoteConfig)
    QV_STORE_PROPERTY(bool, useRatingMessage, setUseRatingMessage)
    QV_STORE_PROPERTY(qint64, useRatingMessageCount, setUseRatingMessageCount)
    QV_STORE_PROPERTY(qint64, adsType, setAdsType)
    QV_STORE_PROPERTY(bool, enableIntroScreen, setEnableIntroScreen)
    QV_STORE_PROPERTY(qint64, mainScreenAdsType, setMainScreenAdsType)
    QV_STORE_PROPERTY(qint64, onlineSpeechCharacterLimit, setOnlineSpeechCharacterLimit)
    QV_STORE_PROPERTY(bool, showMoreApps, setShowMoreApps)
    QV_STORE_PROPERTY(qint64, historyAdNativeCount, setHistoryAdNativeCount)
    QV_STORE_PROPERTY(qint64, phrasebookNativeAdStep, setPhrasebookNativeAdStep)
    QV_STORE_PROPERTY(qint64, interstitialAdBackground, setInterstitialAdBackground)
    QV_STORE_PROPERTY(QString, supportEmail, setSupportEmail)
    QV_STORE_PROPERTY(QString, faqUrl, setFaqUrl)
    QV_STORE_PROPERTY(QString, facebookUrl, setFacebookUrl)
    QV_STORE_PROPERTY(QString, linkedInUrl, setLinkedInUrl)
    QV_STORE_PROPERTY(QString, instagramUrl, setInstagramUrl)
    QV_STORE_PROPERTY(QString, vkontakteURL, setVkontakteURL)
    QV_STORE_PROPERTY(QString, twitterURL, setTwitterURL)
    QV_STORE_PROPERTY(QString, telegramURL, setTelegramURL)
    QV_STORE_PROPERTY(QString, phoneCallAppURL, setPhoneCallAppURL)
    QV_STORE_PROPERTY(QString, termsUrl, setTermsUrl)
    QV_STORE_PROPERTY(QString, privacyUrl, setPrivacyUrl)
    QV_STORE_PROPERTY(QString, programSiteUrl, setProgramSiteUrl)
    QV_STORE_PROPERTY(QString, storeLink, setStoreLink)
    QV_STORE_PROPERTY(QString, appStoreLink, setAppStoreLink)
    QV_STORE_PROPERTY(QString, ourSiteUpdateLink, setOurSiteUpdateLink)
    QV_STORE_PROPERTY(QString, appInfoURL, setAppInfoURL)
    QV_STORE_PROPERTY(QString, moreAppsURL, setMoreAppsURL)
    QV_STORE_PROPERTY(QString, thirdPartyURL, setThirdPartyURL)
    QV_STORE_PROPERTY(bool, showPushNotificationDesc, setShowPushNotificationDesc)
    QV_STORE_PROPERTY(bool, showTranslateSiteButton, setShowTranslateSiteButton)
    QV_STORE_PROPERTY(QString, admobBannerId, setAdmobBannerId)
    QV_STORE_PROPERTY(QString, admobInterstitialId, setAdmobInterstitialId)
    QV_STORE_PROPERTY(QString, admobNativeAd, setAdmobNativeAd)
    QV_STORE_PROPERTY(QString, fbBannerId, setFbBannerId)
    QV_STORE_PROPERTY(QString, fbInterstitialId, setFbInterstitialId)
    QV_STORE_PROPERTY(QString, fbNativeAd, setFbNativeAd)
    QV_STORE_PROPERTY(qint64, localNotificationFireTime, setLocalNotificationFireTime)
    QV_STORE_PROPERTY(bool, crossPromoPopup, setCrossPromoPopup)
    QV_STORE_PROPERTY(qint64, crossPromoEventCount, setCrossPromoEventCount)
    QV_STORE_PROPERTY(bool, crossPromoRepeat, setCrossPromoRepeat)
    QV_STORE_PROPERTY(bool, showServerMessages, setShowServerMessages)
    QV_STORE_PROPERTY(bool, showLocalNotification, setShowLocalNotification)
    QV_STORE_PROPERTY(bool, showPushNotification, setShowPushNotification)
    QV_STORE_PROPERTY(bool, showUpdateVersion, setShowUpdateVersion)
    QV_STORE_PROPERTY(bool, enableToolTips, setEnableToolTips)
    QV_STORE_PROPERTY(bool, enablePocketTranslatorOneButton, setEnablePocketTranslatorOneButton)
    QV_STORE_PROPERTY(qint64, fileTranslationCharacterLimitRequest, setFileTranslationCharacterLimitRequest)
    QV_STORE_PROPERTY(QString, videoWatchURL, setVideoWatchURL)
    QV_STORE_PROPERTY(QString, videoWidgetURL, setVideoWidgetURL)
    QV_STORE_PROPERTY(QString, videoShareURL, setVideoShareURL)
    QV_STORE_PROPERTY(QString, videoKeyboardURL, setVideoKeyboardURL)
    QV_STORE_PROPERTY(QString, videoiMessageURL, setVideoiMessageURL)
    QV_STORE_PROPERTY(QString, videoSafariURL, setVideoSafariURL)
    QV_STORE_PROPERTY(QString, videoPocketChatURL, setVideoPocketChatURL)
    QV_STORE_PROPERTY(QString, videoHeadphonesChatURL, setVideoHeadphonesChatURL)
    QV_STORE_PROPERTY(QString, videoConferenceChatURL, setVideoConferenceChatURL)
    QV_STORE_PROPERTY(QString, videoCardsURL, setVideoCardsURL)
    QV_STORE_PROPERTY(qint64, showBusinessOfferInterval, setShowBusinessOfferInterval)
    QV_STORE_PROPERTY(QString, businessOfferURL, setBusinessOfferURL)
    QV_STORE_PROPERTY(QString, sparkleUpdateURL, setSparkleUpdateURL)
    QV_STORE_PROPERTY(qint64, showRegisterOfferInterval, setShowRegisterOfferInterval)
    QV_STORE_PROPERTY(QString, installThankPageFirstOpen, setInstallThankPageFirstOpen)
};
