#pragma once

#include "core/models/QVLanguageRealm.h"
#include "core/models/QVStringRealm.h"

#include "platform/Error.h"
#include "platform/store/Store.h"

#include <QList>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

// The language catalogue of the default store: filled from the backend's list
// or, while empty, from the resource list "DefaultLanguages.js"; queried by the
// pickers and services. Class methods only, main thread.
//
//   QVLanguageService::initializeDefaultLanguages();   // launch: resource list when empty
//   QVLanguageService::initializeDefaultLanguagesWithCompletion([](bool refreshed) { ... });
//   QList<QVLanguageRealm> web = QVLanguageService::allLanguagesForMode(QVLanguageService::WebSites);
//   QVLanguageRealm german = QVLanguageService::languageForLanguageString("de");
//
// A refresh never empties the catalogue: an empty list changes nothing, and a
// language the backend no longer lists is removed only when no settings pair,
// recent list or stored translation links it.
class QVLanguageService {
public:
    using LanguageList = QList<QVLanguageRealm>;

    // Modes of allLanguagesForMode / getRecentlyLanguagesForMode.
    enum Mode {
        AllWithAutoDetection = 0,
        ImageRecognition = 1,
        WithFlags = 2,
        ParseVoice = 3,
        ProduceVoice = 4,
        OfflineTranslate = 5,
        PhraseBook = 6,
        WithFlagsToo = 7,
        InterfaceLanguages = 8,
        WebSites = 9,
        AllWithoutAutoDetection = 100,
    };

    static constexpr const char *kDefaultLanguagesResource = "DefaultLanguages";
    static constexpr const char *kDefaultLanguagesType = "js";
    static constexpr const char *kSettingsDidChangedNotification = "kSettingsDidChangedNotification";
    static constexpr const char *kRefreshMessage = "initializeDefaultLanguagesWithCompletion:";
    static constexpr const char *kDefaultLanguage = "en_GB";
    static constexpr const char *kAutoDetectKey = "_loc_auto_detect";
    static constexpr const char *kAutoDetectImage = "globe_new.png";
    static constexpr qint64 kWebSiteTranslationMode = 2;
    static constexpr const char *kErrorDomain = "QVLanguageService";
    enum ErrorCode { EmptyList = 1, NoResource = 2, BadResource = 3, NoStore = 4 };

    // Loading and saving.
    // Refreshes from the backend. completion(true) when the backend's list was
    // saved (then voices, settings pair and "kSettingsDidChangedNotification"
    // follow); completion(false) on any failure, after the resource list has
    // filled a still empty catalogue.
    static void initializeDefaultLanguagesWithCompletion(std::function<void(bool refreshed)> completion);
    // Fills an empty catalogue from the resource list.
    static platform::Error initializeDefaultLanguages();
    // Backend items -> catalogue items (items without a "full_code" are skipped).
    static QVariantList processingLanguageArray(const QVariantList &items);
    static platform::Error saveLanguagesToRealm(const QVariantList &catalogueItems);
    // Renames the stored catalogue for the interface language now chosen (after a switch).
    static platform::Error localizeLanguageNames();
    // The "modes" key for a backend mode name: the flag table's own key when
    // the name matches it ignoring case and spaces, else the name capitalised
    // word by word without spaces ("phrase book" -> "PhraseBook").
    static QString modeKeyForName(const QString &name);

    // Queries. Results are live; lists are snapshots. Sorted by display name.
    static platform::Results allLanguages();
    static LanguageList allLanguagesWithoutAutoDetection();
    static QVLanguageRealm autoDetectionLanguageRealm();
    static bool autoDetectionLanguageIsPresentInArray(const LanguageList &languages);
    static LanguageList allLanguagesForMode(int mode);
    static platform::Results allLanguagesFilterName(const QString &text);
    static platform::Results allLanguagesWithoutAutoDetectionFilterName(const QString &text);
    static LanguageList allLanguagesForMacWithoutAutoDetection();
    static LanguageList allLanguagesForMacFilterName(const QString &text);
    static LanguageList allLanguagesForMacWithoutAutoDetectionFilterName(const QString &text);
    static LanguageList allLanguagesBuiltInVoices(const QStringList &codes);
    static platform::Results allLanguagesByFilterArray(const QStringList &codes);
    static platform::Results allLanguagesByFilter(const QList<QVStringRealm> &filter);
    static QVLanguageRealm correctedLanguage(const QVLanguageRealm &language,
                                             const QStringList &supportedCodes);
    static LanguageList getRecentlyLanguages();
    static LanguageList getRecentlyLanguagesForMode(int mode);
    static LanguageList getRecentlyLanguagesWithoutAutoDetection();
    static LanguageList recentlyLanguagesBuiltInVoices(const QStringList &codes);
    static QString languageTitleWithoutCountryWithLanguage(const QVLanguageRealm &language);
    static QVLanguageRealm languageForLocaleIdentifier(const QString &localeIdentifier);
    // Two-letter code: a few codes name a fixed locale ("en" -> "en_GB"), the rest match languageString.
    static QVLanguageRealm languageForLanguageString(const QString &code);
    static QVLanguageRealm defaultLanguage();
    static LanguageList localizedLanguagesArray();
    static QVariantMap recentlyJsonLanguages();
    static QVariantMap allJsonLanguages();

    // "en", "ru", "fr", "es", "it", "pt", "de", "ja", "ko", "zh-Hant", "zh-Hans".
    static QStringList interfaceLanguageCodes();

    QVLanguageService() = delete;
};
