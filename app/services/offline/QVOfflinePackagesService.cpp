#include "services/offline/QVOfflinePackagesService.h"

#include "services/offline/QVTranslatorError.h"
#include "core/models/QVPackageFolders.h"
#include "core/models/QVPackagesRealm.h"

#include "core/DevLog.h"
#include "services/languages/QVLanguageService.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVLanguageRealm.h"
#include "core/settings/QVSettingsService.h"

#include "platform/Format.h"

namespace {

QVOfflinePackagesService::LanguageNameLookup &nameLookup() {
    static QVOfflinePackagesService::LanguageNameLookup lookup;
    return lookup;
}

QString localized(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

QString localizedWithLanguage(const char *key, const QString &code) {
    return platform::format(localized(key), QVOfflinePackagesService::languageNameForCode(code));
}

// The first package of the type among the language's packages; null when the
// language or such a package is not in the catalogue.
QVLanguagePackageRealm firstPackageOfType(const platform::ObjectStore &store, const QString &code,
                                          const QString &type, bool *languageListed) {
    *languageListed = false;
    if (store.isNull() || code.isEmpty())
        return {};
    const QVPackagesRealm language(store.objectForPrimaryKey(QVPackagesRealm::storeClassName(), code));
    if (language.isNull())
        return {};
    *languageListed = true;
    const QList<platform::Object> packages = language.packages().toList();
    for (const platform::Object &object : packages) {
        const QVLanguagePackageRealm package(object);
        if (package.type() == type) {
            DevLog(QStringLiteral("%@"), package.packageUrl());
            return package;
        }
    }
    return {};
}

} // namespace

void QVOfflinePackagesService::setLanguageNameLookup(LanguageNameLookup lookup) {
    nameLookup() = std::move(lookup);
}

QString QVOfflinePackagesService::languageNameForCode(const QString &code) {
    if (const LanguageNameLookup &lookup = nameLookup())
        return lookup(code);
    const QVLanguageRealm language = QVLanguageService::languageForLanguageString(code);
    return language.isNull() ? code : language.languageName();
}

platform::Error QVOfflinePackagesService::checkOfflinePackageForLanguage(const QString &code) {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    bool listed = false;
    const QVLanguagePackageRealm package =
        firstPackageOfType(store, code, QString::fromLatin1(QVPackageFolders::kTranslationType), &listed);
    if (package.isNull())
        return errorWithMessage(localizedWithLanguage(kNotSupportedKey, code));
    if (QVPackageFolders::isTranslationPackageInstalled(store, code))
        return {};
    return errorWithMessage(localizedWithLanguage(kNotDownloadedKey, code), QVTranslatorError::NotInstalled);
}

platform::Error QVOfflinePackagesService::checkTesseractPackageForLanguage(const QString &code) {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    bool listed = false;
    const QVLanguagePackageRealm package =
        firstPackageOfType(store, code, QString::fromLatin1(QVPackageFolders::kOcrType), &listed);
    if (!listed)
        return errorWithMessage(localized(kNoRecognitionKey));
    if (package.isNull() || QVPackageFolders::isOcrPackageInstalled(store, code))
        return {};
    return errorWithMessage(localized(kNoOcrDataKey));
}

platform::Error QVOfflinePackagesService::checkOfflinePackagesForSelectedLanguages() {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    const QString english = QStringLiteral("en");
    const QString from = settings.languageFrom().languageString();
    const QString to = settings.languageTo().languageString();
    if (from != english) {
        if (platform::Error error = checkOfflinePackageForLanguage(from))
            return error;
    }
    if (to != english)
        return checkOfflinePackageForLanguage(to);
    return {};
}

platform::Error QVOfflinePackagesService::checkOfflineOnlyFromIntoEng() {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    const QString from = settings.languageFrom().languageString();
    const QString to = settings.languageTo().languageString();
    if (from == QLatin1String("en") || to == QLatin1String("en") || from == to)
        return {};
    return errorWithMessage(localized(kOnlyFromIntoEnglishKey));
}

platform::Error QVOfflinePackagesService::errorWithMessage(const QString &message) {
    return errorWithMessage(message, QVTranslatorError::NotSupported);
}

platform::Error QVOfflinePackagesService::errorWithMessage(const QString &message, qint64 code) {
    return QVTranslatorError::error(code, message);
}
