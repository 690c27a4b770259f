#pragma once

#include "core/models/QVLanguageRealm.h"
#include "core/models/QVRemoteSettings.h"

#include "platform/store/Store.h"

#include <QDateTime>
#include <QStringList>

// The user's choices in one stored record (idSetting 1): the main, card and
// phrase language pairs, recent languages, speech options, first-run flags, the
// launch and daily translation counters, the backend user id and the link to
// the remote settings. Read and changed through QVSettingsService, which keeps
// the record stored and complete.
class QVTranslateSettings : public platform::Object {
public:
    QV_STORE_MODEL(QVTranslateSettings)

    static constexpr qint64 kSettingsId = 1;
    static constexpr const char *kDefaultLanguageFrom = "en_GB";
    static constexpr const char *kDefaultLanguageTo = "de_DE";
    static constexpr const char *kUuidLogFormat = "MAIN UUID: %@";

    static platform::ObjectSchema schema();
    static QString primaryKey();
    static QStringList ignoredProperties(); // "uuid": never stored

    // A new unsaved record holding the defaults; its language links point at
    // the store's catalogue records "en_GB" and "de_DE" (unset while missing).
    static QVTranslateSettings getDefaultSettings();
    static QVTranslateSettings getDefaultSettings(const platform::ObjectStore &store);

    // The stored catalogue record with this identifier, or null.
    static QVLanguageRealm catalogueLanguage(const platform::ObjectStore &store,
                                             const QString &localeIdentifier);

    // The installation identifier from the backend client's keychain item. It
    // is read once and then kept for the process: the keychain may block, and
    // the identifier never changes. Empty (and read again next time) until the
    // backend client has stored it.
    QString uuid() const;
    static void resetCachedUuid(); // tests

    // No offer while an account token is stored, or once the user signed in.
    bool isNeededShowRegistrationOffer() const;
    static platform::Error updateShowRegistrationOfferFlag();
    static platform::Error updateShowRegistrationOfferFlag(bool alreadySignedIn);

    QV_STORE_PROPERTY(qint64, idSetting, setIdSetting)
    QV_STORE_PROPERTY(QVLanguageRealm, languageFrom, setLanguageFrom)
    QV_STORE_PROPERTY(QVLanguageRealm, languageTo, setLanguageTo)
    QV_STORE_PROPERTY(QVLanguageRealm, cardLanguageFrom, setCardLanguageFrom)
    QV_STORE_PROPERTY(QVLanguageRealm, cardLanguageTo, setCardLanguageTo)
    QV_STORE_PROPERTY(QVLanguageRealm, phraseLanguageFrom, setPhraseLanguageFrom)
    QV_STORE_PROPERTY(QVLanguageRealm, phraseLanguageTo, setPhraseLanguageTo)
    QV_STORE_PROPERTY(qint64, translateDirection, setTranslateDirection)
    QV_STORE_PROPERTY(qint64, translationMode, setTranslationMode)
    QV_STORE_PROPERTY(double, speechSpeed, setSpeechSpeed)
    QV_STORE_LIST(recentlyLanguages)
    QV_STORE_LIST(filter)
    QV_STORE_PROPERTY(bool, autoSpeechEnabled, setAutoSpeechEnabled)
    QV_STORE_PROPERTY(QVRemoteSettings, remoteSettings, setRemoteSettings)
    QV_STORE_PROPERTY(QString, userId, setUserId)
    QV_STORE_PROPERTY(QDateTime, startDate, setStartDate)
    QV_STORE_PROPERTY(qint64, countOfLaunch, setCountOfLaunch)
    QV_STORE_PROPERTY(qint64, dayTranslationPassedCount, setDayTranslationPassedCount)
    QV_STORE_PROPERTY(bool, isAlreadySignIn, setIsAlreadySignIn)
    QV_STORE_PROPERTY(QString, safariTranslateLanguage, setSafariTranslateLanguage)
    QV_STORE_PROPERTY(bool, isFirstPhotoRecognition, setIsFirstPhotoRecognition)
    QV_STORE_PROPERTY(bool, wasIntroScreenShown, setWasIntroScreenShown)
    QV_STORE_PROPERTY(bool, autoSpeak, setAutoSpeak)
    QV_STORE_PROPERTY(bool, builtInVoices, setBuiltInVoices)
    QV_STORE_PROPERTY(bool, detectEndOfSpeech, setDetectEndOfSpeech)
    QV_STORE_PROPERTY(float, speedOfSpeech, setSpeedOfSpeech)
    QV_STORE_PROPERTY(qint64, speechVoice, setSpeechVoice)
};
