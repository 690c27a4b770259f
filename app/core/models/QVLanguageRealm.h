#pragma once

#include "core/models/QVLanguageMode.h"

#include "platform/store/Store.h"

#include <QStringList>
#include <QVariantMap>

#include <optional>

// One language of the catalogue, keyed by its locale identifier ("en_GB").
// The pseudo-language "auto-detection" stands for automatic detection of the
// source language. Filled from catalogue items through the JSON mapping.
class QVLanguageRealm : public platform::Object {
public:
    QV_STORE_MODEL(QVLanguageRealm)

    static constexpr const char *kAutoDetectionIdentifier = "auto-detection";

    static platform::ObjectSchema schema();
    static QString primaryKey();
    static QStringList ignoredProperties(); // derived, never stored
    // Catalogue item key -> property.
    static QVariantMap JSONInboundMappingDictionary();

    // A new unsaved record.
    static QVLanguageRealm languageWithLocaleIdentifier(const QString &localeIdentifier, const QString &name,
                                                        const QString &imageFile, const QString &langString,
                                                        const QString &voiceLocale,
                                                        const QString &recognizerLocale,
                                                        const QString &tesseractLanguageCode);

    // The stored language for a two-letter code: a few codes name a fixed
    // locale ("en" -> "en_GB"), the rest match languageString. Null when none.
    static QVLanguageRealm languageWithCode(const QString &code);
    static QVLanguageRealm languageWithCode(const platform::ObjectStore &store, const QString &code);

    bool compareWithLanguage(const QVLanguageRealm &language) const;
    bool isRTL() const;
    bool isAuto() const;

    QV_STORE_PROPERTY(QString, localeIdentifier, setLocaleIdentifier)
    QV_STORE_PROPERTY(QString, languageName, setLanguageName)
    QV_STORE_PROPERTY(QString, imageFile, setImageFile)
    QV_STORE_PROPERTY(QString, languageString, setLanguageString)
    QV_STORE_PROPERTY(QString, voiceLocale, setVoiceLocale)
    QV_STORE_PROPERTY(QString, recognizerLocale, setRecognizerLocale)
    QV_STORE_PROPERTY(QString, tesseractLanguageCode, setTesseractLanguageCode)
    QV_STORE_PROPERTY(QString, testWordForSyntezis, setTestWordForSyntezis)
    QV_STORE_PROPERTY(QVLanguageMode, languageModes, setLanguageModes)
    QV_STORE_LIST(synthesisIos)
    QV_STORE_PROPERTY(QString, voiceIDMac, setVoiceIDMac)
    QV_STORE_PROPERTY(bool, voiceIDMacBool, setVoiceIDMacBool)
    QV_STORE_PROPERTY(qint64, gender, setGender)
    QV_STORE_PROPERTY(float, speed, setSpeed)
    QV_STORE_PROPERTY(float, pitch, setPitch)
    QV_STORE_PROPERTY(QString, countryCode, setCountryCode)

    // Offline translation package of this language (code c = languageString),
    // under Caches/LanguagePacks; defined with the package records.
    QString typePackage() const;                          // "opennmt-desktop"
    QString folderPath() const;                           // Caches/LanguagePacks/<typePackage>
    QString fullPatchFileName(const QString &name) const; // folderPath/<name>
    QString pathOfflinePackageDirFromEng() const;         // folderPath/en-c
    QString pathOfflinePackageDirToEng() const;           // folderPath/c-en
    QString pathOfflinePackageEngModelFrom() const;       // en-c/en.spm.model
    QString pathOfflinePackageLangModelFrom() const;      // en-c/c.spm.model
    QString pathOfflinePackageEngModelTo() const;         // c-en/en.spm.model
    QString pathOfflinePackageLangModelTo() const;        // c-en/c.spm.model
    QString patchOfflinePackageFromEng() const;
    QString patchOfflinePackageToEng() const;
    QString patchOfflinePDictionaryFromEng() const;
    QString patchOfflinePDictionaryToEng() const;
    // A downloaded translation package record for c is stored and both
    // direction folders hold both tokenizer files (QVPackageFolders).
    bool isOfflinePackage() const;
};
