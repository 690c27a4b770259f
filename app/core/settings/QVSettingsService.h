#pragma once

#include "core/models/QVLanguageRealm.h"
#include "core/models/QVStringRealm.h"
#include "core/settings/QVTranslateSettings.h"

#include "platform/Error.h"
#include "platform/store/Store.h"

#include <QDateTime>
#include <QList>
#include <QVariantMap>

#include <functional>

// Access to the one settings record of the default store. No state of its own:
// every call reads the record afresh, so any thread may call.
//
// The record is always kept stored and complete: a missing record is created
// from the defaults, a missing language link is restored from the catalogue
// (the other fields are kept), and the first read of a new day starts the daily
// counter again. Every change runs in one write transaction, joining the
// caller's open one (the caller then commits), and always changes the stored
// record: nothing is ever written to an unsaved copy.
//
//   QVSettingsService::setLanguageTo(german);
//   const QString from = QVSettingsService::languageFrom();   // "en_GB"
class QVSettingsService {
public:
    static constexpr const char *kErrorDomain = "QVSettingsService";
    enum ErrorCode {
        NoStore = 1,               // the default store is not open
        NotInCatalogue = 2,        // the language is not a stored catalogue record
        AutoDetectionAsTarget = 3, // automatic detection only ever names a source
        NoRemoteSettings = 4,      // no remote-settings record is linked
    };
    // The message of reports about the record itself.
    static constexpr const char *kDefaultSettingsMessage = "defaultSettings";
    static constexpr int kRecentLanguagesLimit = 5;

    // The stored record. When the store cannot be written, an unsaved default
    // record (reported through DevLogger); the next call tries again.
    static QVTranslateSettings defaultSettings();

    // Locale identifiers of the linked languages; empty when unset.
    static QString languageFrom();
    static QString languageTo();
    static QString cardLanguageFrom();
    static QString cardLanguageTo();

    // Swaps the main pair; refused while the source is automatic detection.
    static platform::Error changeLanguages();
    // Re-links the main pair to the catalogue records with the same identifiers.
    static platform::Error updateLanguages();
    // 1 becomes 2; anything else becomes 1.
    static platform::Error changeTranslateDirection();
    // Moves or inserts the language at the front; at most five are kept.
    // A null language does nothing.
    static platform::Error addRecentlyLanguage(const QVLanguageRealm &language);
    // One more translation today (the length is not counted).
    static platform::Error increaseTranslateWithSymbolsCount(qint64 length);
    static platform::Error countOfLaunchIncrease();
    // The given fields (property -> value) replace the stored ones; the others stay.
    static platform::Error updateSettingsWithObject(const QVariantMap &values);
    static platform::Error updateSettingsWithObject(const QVTranslateSettings &settings);

    // Languages are linked by identifier to their catalogue record; one that
    // is not in the catalogue is refused and nothing changes.
    static platform::Error setLanguageFrom(const QVLanguageRealm &language);
    static platform::Error setLanguageTo(const QVLanguageRealm &language);
    static platform::Error setCardLanguageFrom(const QVLanguageRealm &language);
    static platform::Error setCardLanguageTo(const QVLanguageRealm &language);
    static platform::Error setTranslateDirection(qint64 direction);
    static platform::Error setTranslationMode(qint64 mode);
    static platform::Error setLanguageFilter(const QList<QVStringRealm> &filter);
    static platform::Error setAutoSpeak(bool autoSpeak);
    static platform::Error setBuiltIn(bool builtIn);
    static platform::Error setDetectEndOfSpeech(bool detect);
    static platform::Error setSpeechSpeed(float speed); // speedOfSpeech, not speechSpeed
    static platform::Error setVoiceType(qint64 voice);
    static platform::Error setIsFirstPhotoRecognition(bool first);
    static platform::Error setWasIntroScreenShown(bool shown);
    static platform::Error setUserId(const QString &userId);
    // mainScreenAdsType of the linked remote settings.
    static platform::Error setMainScreenAdsType(qint64 type);

    // Runs the change on the stored record (created or completed first) in a
    // write transaction that joins an open one. Errors are also reported.
    using Change = std::function<void(platform::Transaction &tx, const QVTranslateSettings &settings)>;
    static platform::Error changeSettings(const Change &change);

    // The clock deciding the day of the daily counter (tests set their own;
    // an empty function restores the system clock).
    using Clock = std::function<QDateTime()>;
    static void setClock(Clock clock);
    static QDateTime currentDate();

    QVSettingsService() = delete;
};
