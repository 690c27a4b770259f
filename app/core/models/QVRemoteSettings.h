#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// A remote setting whose reader falls back to the built-in default while the
// stored value is empty (the stored value itself is left as the backend sent it).
#define QV_REMOTE_SETTING(Type, getter, setter)                                                              \
    Type getter() const {                                                                                    \
        return valueOrDefault(QStringLiteral(#getter)).value<Type>();                                        \
    }                                                                                                        \
    void setter(platform::Transaction &tx, const Type &value) const {                                        \
        set(tx, QStringLiteral(#getter), platform::ValueTraits<Type>::toVariant(value));                     \
    }

// The run-time configuration delivered by the backend at every launch (feature
// switches, limits, links, the update feed, the install thank-you page).
//
// At most one record is stored, linked from the settings record. It starts as
// the built-in defaults and is then replaced whole by each configuration, so
// keys a configuration lacks are stored empty. Readers still get the built-in
// default for an empty value: onlineSpeechCharacterLimit() is 100 whether the
// backend sent nothing or the record was never synced. storedValue() gives the
// value as stored.
//
// Two properties read as stored: the primary key, and installThankPageFirstOpen,
// whose default is the not-yet-synced marker and would otherwise make a synced
// record look unsynced.
class QVRemoteSettings : public platform::Object {
public:
    QV_STORE_MODEL(QVRemoteSettings)

    static platform::ObjectSchema schema();
    static QString primaryKey();
    // Built-in defaults, property -> value; properties without one are absent.
    static QVariantMap defaultSettignsValue();
    // Configuration key -> property.
    static QVariantMap JSONInboundMappingDictionary();
    // A configuration without "AdmobBanner" still makes a record (with an empty key).
    static QVariantMap preprocessedJSON(const QVariantMap &json);

    // installThankPageFirstOpen before the first configuration arrives ("http://www." + maker's domain).
    static QString notYetSyncedMarker();
    // installThankPageFirstOpen when the backend turns the page off ("http://" + maker's domain).
    static QString disabledMarker();
    static QString defaultSparkleUpdateURL();

    // A new stored record holding the built-in defaults (updates one with the same key).
    static QVRemoteSettings createWithDefaults(platform::Transaction &tx);

    QVariant storedValue(const QString &property) const { return value(property); }
    QVariant valueOrDefault(const QString &property) const;

    QV_REMOTE_SETTING(QString, piwikAnalyticsId, setPiwikAnalyticsId)
    QV_REMOTE_SETTING(bool, useRemoteConfig, setUseRemoteConfig)
    QV_REMOTE_SETTING(bool, useRatingMessage, setUseRatingMessage)
    QV_REMOTE_SETTING(qint64, useRatingMessageCount, setUseRatingMessageCount)
    QV_REMOTE_SETTING(qint64, adsType, setAdsType)
    QV_REMOTE_SETTING(bool, enableIntroScreen, setEnableIntroScreen)
    QV_REMOTE_SETTING(qint64, mainScreenAdsType, setMainScreenAdsType)
    QV_REMOTE_SETTING(qint64, onlineSpeechCharacterLimit, setOnlineSpeechCharacterLimit)
    QV_REMOTE_SETTING(bool, showMoreApps, setShowMoreApps)
    QV_REMOTE_SETTING(qint64, historyAdNativeCount, setHistoryAdNativeCount)
    QV_REMOTE_SETTING(qint64, phrasebookNativeAdStep, setPhrasebookNativeAdStep)
    QV_REMOTE_SETTING(qint64, interstitialAdBackground, setInterstitialAdBackground)
    QV_REMOTE_SETTING(QString, supportEmail, setSupportEmail)
    QV_REMOTE_SETTING(QString, faqUrl, setFaqUrl)
    QV_REMOTE_SETTING(QString, facebookUrl, setFacebookUrl)
    QV_REMOTE_SETTING(QString, linkedInUrl, setLinkedInUrl)
    QV_REMOTE_SETTING(QString, instagramUrl, setInstagramUrl)
    QV_REMOTE_SETTING(QString, vkontakteURL, setVkontakteURL)
    QV_REMOTE_SETTING(QString, twitterURL, setTwitterURL)
    QV_REMOTE_SETTING(QString, telegramURL, setTelegramURL)
    QV_REMOTE_SETTING(QString, phoneCallAppURL, setPhoneCallAppURL)
    QV_REMOTE_SETTING(QString, termsUrl, setTermsUrl)
    QV_REMOTE_SETTING(QString, privacyUrl, setPrivacyUrl)
    QV_REMOTE_SETTING(QString, programSiteUrl, setProgramSiteUrl)
    QV_REMOTE_SETTING(QString, storeLink, setStoreLink)
    QV_REMOTE_SETTING(QString, appStoreLink, setAppStoreLink)
    QV_REMOTE_SETTING(QString, ourSiteUpdateLink, setOurSiteUpdateLink)
    QV_REMOTE_SETTING(QString, appInfoURL, setAppInfoURL)
    QV_REMOTE_SETTING(QString, moreAppsURL, setMoreAppsURL)
    QV_REMOTE_SETTING(QString, thirdPartyURL, setThirdPartyURL)
    QV_REMOTE_SETTING(bool, showPushNotificationDesc, setShowPushNotificationDesc)
    QV_REMOTE_SETTING(bool, showTranslateSiteButton, setShowTranslateSiteButton)
    QV_STORE_PROPERTY(QString, admobBannerId, setAdmobBannerId)
    QV_REMOTE_SETTING(QString, admobInterstitialId, setAdmobInterstitialId)
    QV_REMOTE_SETTING(QString, admobNativeAd, setAdmobNativeAd)
    QV_REMOTE_SETTING(QString, fbBannerId, setFbBannerId)
    QV_REMOTE_SETTING(QString, fbInterstitialId, setFbInterstitialId)
    QV_REMOTE_SETTING(QString, fbNativeAd, setFbNativeAd)
    QV_REMOTE_SETTING(qint64, localNotificationFireTime, setLocalNotificationFireTime)
    QV_REMOTE_SETTING(bool, crossPromoPopup, setCrossPromoPopup)
    QV_REMOTE_SETTING(qint64, crossPromoEventCount, setCrossPromoEventCount)
    QV_REMOTE_SETTING(bool, crossPromoRepeat, setCrossPromoRepeat)
    QV_REMOTE_SETTING(bool, showServerMessages, setShowServerMessages)
    QV_REMOTE_SETTING(bool, showLocalNotification, setShowLocalNotification)
    QV_REMOTE_SETTING(bool, showPushNotification, setShowPushNotification)
    QV_REMOTE_SETTING(bool, showUpdateVersion, setShowUpdateVersion)
    QV_REMOTE_SETTING(bool, enableToolTips, setEnableToolTips)
    QV_REMOTE_SETTING(bool, enablePocketTranslatorOneButton, setEnablePocketTranslatorOneButton)
    QV_REMOTE_SETTING(qint64, fileTranslationCharacterLimitRequest, setFileTranslationCharacterLimitRequest)
    QV_REMOTE_SETTING(QString, videoWatchURL, setVideoWatchURL)
    QV_REMOTE_SETTING(QString, videoWidgetURL, setVideoWidgetURL)
    QV_REMOTE_SETTING(QString, videoShareURL, setVideoShareURL)
    QV_REMOTE_SETTING(QString, videoKeyboardURL, setVideoKeyboardURL)
    QV_REMOTE_SETTING(QString, videoiMessageURL, setVideoiMessageURL)
    QV_REMOTE_SETTING(QString, videoSafariURL, setVideoSafariURL)
    QV_REMOTE_SETTING(QString, videoPocketChatURL, setVideoPocketChatURL)
    QV_REMOTE_SETTING(QString, videoHeadphonesChatURL, setVideoHeadphonesChatURL)
    QV_REMOTE_SETTING(QString, videoConferenceChatURL, setVideoConferenceChatURL)
    QV_REMOTE_SETTING(QString, videoCardsURL, setVideoCardsURL)
    QV_REMOTE_SETTING(qint64, showBusinessOfferInterval, setShowBusinessOfferInterval)
    QV_REMOTE_SETTING(QString, businessOfferURL, setBusinessOfferURL)
    QV_REMOTE_SETTING(QString, sparkleUpdateURL, setSparkleUpdateURL)
    QV_REMOTE_SETTING(qint64, showRegisterOfferInterval, setShowRegisterOfferInterval)
    QV_STORE_PROPERTY(QString, installThankPageFirstOpen, setInstallThankPageFirstOpen)
};
