#pragma once

#include "platform/Error.h"

#include <QString>

#include <functional>

// Whether offline work can start: each check returns a null error, or one in
// "com.translator" whose description is a sentence to show the user. -202:
// the language has no package of the kind (or the OCR data is missing); -204:
// its translation package can be downloaded. Main thread; no state.
//
//   if (const platform::Error error = QVOfflinePackagesService::checkOfflinePackagesForSelectedLanguages())
//       showAlert(error);   // offer the download for -204
class QVOfflinePackagesService {
public:
    static constexpr const char *kNotSupportedKey = "_loc_err_language_supporting_offline";
    static constexpr const char *kNotDownloadedKey = "_loc_err_offline_package_downloaded";
    static constexpr const char *kNoRecognitionKey = "_loc_err_supporting_offline_recognize";
    static constexpr const char *kNoOcrDataKey = "_loc_err_offline_tesseract";
    static constexpr const char *kOnlyFromIntoEnglishKey = "_loc_err_language_supporting_only_from_into_eng";

    // The translation package of a two-letter code.
    static platform::Error checkOfflinePackageForLanguage(const QString &code);
    // The OCR data of a two-letter code; a language listing no OCR package passes.
    static platform::Error checkTesseractPackageForLanguage(const QString &code);
    // Both sides of the settings pair, source first; English needs no package.
    static platform::Error checkOfflinePackagesForSelectedLanguages();
    // -202 unless one side of the settings pair is English or both are the same.
    static platform::Error checkOfflineOnlyFromIntoEng();

    static platform::Error errorWithMessage(const QString &message); // -202
    static platform::Error errorWithMessage(const QString &message, qint64 code);

    // The language name put into the messages, by two-letter code: the
    // languageName of QVLanguageService::languageForLanguageString, else the code.
    using LanguageNameLookup = std::function<QString(const QString &code)>;
    static void setLanguageNameLookup(LanguageNameLookup lookup); // tests; empty restores the catalogue's
    static QString languageNameForCode(const QString &code);

    QVOfflinePackagesService() = delete;
};
