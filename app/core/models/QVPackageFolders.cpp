#include "core/models/QVPackageFolders.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace QVPackageFolders {

namespace {

QString join(const QString &folder, const QString &name) {
    return QDir(folder).filePath(name);
}

bool isFile(const QString &path) {
    return QFileInfo(path).isFile();
}

bool holdsSomething(const QString &folder) {
    return !QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

bool hasDownloadedRecord(const platform::ObjectStore &store, const QString &type, const QString &code) {
    if (store.isNull() || code.isEmpty())
        return false;
    using platform::Key;
    return !store.objects(QStringLiteral("QVLanguagePackageRealm"))
                .filter(Key(QStringLiteral("languageCode")) == code && Key(QStringLiteral("type")) == type &&
                        Key(QStringLiteral("isDownloaded")) == true)
                .isEmpty();
}

bool folderHasTokenizers(const QString &folder, const QString &code) {
    return isFile(englishTokenizerIn(folder)) && isFile(languageTokenizerIn(folder, code));
}

} // namespace

bool isFolderName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QString languagePacksFolder() {
    return join(platform::AppPaths::caches(), QStringLiteral("LanguagePacks"));
}

QString folderForType(const QString &type) {
    return join(languagePacksFolder(), type);
}

QString unpackFolderForType(const QString &type) {
    const QString folder = folderForType(type);
    return type == QLatin1String(kOcrType) ? join(folder, QStringLiteral("tessdata")) : folder;
}

QString ocrDataFolder() {
    return folderForType(QString::fromLatin1(kOcrType));
}

QString dictionaryFolder() {
    return folderForType(QString::fromLatin1(kDictionaryType));
}

QString translationFolderFromEnglish(const QString &code) {
    return join(folderForType(QString::fromLatin1(kTranslationType)), QStringLiteral("en-%1").arg(code));
}

QString translationFolderToEnglish(const QString &code) {
    return join(folderForType(QString::fromLatin1(kTranslationType)), QStringLiteral("%1-en").arg(code));
}

QString englishTokenizerIn(const QString &folder) {
    return join(folder, QStringLiteral("en.spm.model"));
}

QString languageTokenizerIn(const QString &folder, const QString &code) {
    return join(folder, QStringLiteral("%1.spm.model").arg(code));
}

QString archivePathForUrl(const QString &packageUrl) {
    const QString name = QUrl(packageUrl).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('\\')))
        return {};
    return join(platform::AppPaths::caches(), name);
}

bool hasTranslationFiles(const QString &code) {
    if (!isFolderName(code))
        return false;
    return folderHasTokenizers(translationFolderFromEnglish(code), code) &&
           folderHasTokenizers(translationFolderToEnglish(code), code);
}

bool isTranslationPackageInstalled(const platform::ObjectStore &store, const QString &code) {
    return hasDownloadedRecord(store, QString::fromLatin1(kTranslationType), code) &&
           hasTranslationFiles(code);
}

bool isOcrPackageInstalled(const platform::ObjectStore &store, const QString &code) {
    const QString type = QString::fromLatin1(kOcrType);
    return hasDownloadedRecord(store, type, code) && holdsSomething(unpackFolderForType(type));
}

bool isDictionaryPackageInstalled(const platform::ObjectStore &store, const QString &code) {
    const QString type = QString::fromLatin1(kDictionaryType);
    return hasDownloadedRecord(store, type, code) && holdsSomething(dictionaryFolder());
}

bool isPackageInstalled(const platform::ObjectStore &store, const QString &type, const QString &code) {
    if (!isFolderName(type))
        return false;
    if (type == QLatin1String(kTranslationType))
        return isTranslationPackageInstalled(store, code);
    if (type == QLatin1String(kOcrType))
        return isOcrPackageInstalled(store, code);
    if (type == QLatin1String(kDictionaryType))
        return isDictionaryPackageInstalled(store, code);
    return hasDownloadedRecord(store, type, code) && holdsSomething(unpackFolderForType(type));
}

float megabytesFromBytes(double bytes) {
    const double megabytes = bytes * (1.0 / 1048576.0);
    if (!(megabytes > 0)) // also NaN
        return 0;
    // Beyond the float range the conversion itself would be undefined.
    return static_cast<float>(std::min<double>(megabytes, std::numeric_limits<float>::max()));
}

QString formatMegabytes(double megabytes) {
    if (!(megabytes > 0)) // also NaN
        megabytes = 0;
    // llround of anything from 2^63 on is undefined (in practice the most negative number).
    constexpr double kTwoToThe63 = 9223372036854775808.0;
    const long long whole =
        megabytes < kTwoToThe63 ? std::llround(megabytes) : std::numeric_limits<long long>::max();
    return QStringLiteral("%1mb").arg(whole);
}

} // namespace QVPackageFolders
