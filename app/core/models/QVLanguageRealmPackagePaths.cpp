// The offline-package paths of a language record live with the package
// records that define the folder layout.
#include "core/DevLog.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVPackageFolders.h"

#include <QDir>

QString QVLanguageRealm::typePackage() const {
    return QString::fromLatin1(QVPackageFolders::kTranslationType);
}

QString QVLanguageRealm::folderPath() const {
    return QVPackageFolders::folderForType(typePackage());
}

QString QVLanguageRealm::fullPatchFileName(const QString &name) const {
    const QString path = QDir(folderPath()).filePath(name);
    DevLog(QStringLiteral("%@"), path);
    return path;
}

QString QVLanguageRealm::pathOfflinePackageDirFromEng() const {
    return QVPackageFolders::translationFolderFromEnglish(languageString());
}

QString QVLanguageRealm::pathOfflinePackageDirToEng() const {
    return QVPackageFolders::translationFolderToEnglish(languageString());
}

QString QVLanguageRealm::pathOfflinePackageEngModelFrom() const {
    return QVPackageFolders::englishTokenizerIn(pathOfflinePackageDirFromEng());
}

QString QVLanguageRealm::pathOfflinePackageLangModelFrom() const {
    return QVPackageFolders::languageTokenizerIn(pathOfflinePackageDirFromEng(), languageString());
}

QString QVLanguageRealm::pathOfflinePackageEngModelTo() const {
    return QVPackageFolders::englishTokenizerIn(pathOfflinePackageDirToEng());
}

QString QVLanguageRealm::pathOfflinePackageLangModelTo() const {
    return QVPackageFolders::languageTokenizerIn(pathOfflinePackageDirToEng(), languageString());
}

QString QVLanguageRealm::patchOfflinePackageFromEng() const {
    return fullPatchFileName(QStringLiteral("en-%1.mobile.t7").arg(languageString()));
}

QString QVLanguageRealm::patchOfflinePackageToEng() const {
    return fullPatchFileName(QStringLiteral("%1-en.mobile.t7").arg(languageString()));
}

QString QVLanguageRealm::patchOfflinePDictionaryFromEng() const {
    return fullPatchFileName(QStringLiteral("en-%1.desktop.pt").arg(languageString()));
}

QString QVLanguageRealm::patchOfflinePDictionaryToEng() const {
    return fullPatchFileName(QStringLiteral("%1-en.desktop.pt").arg(languageString()));
}

bool QVLanguageRealm::isOfflinePackage() const {
    const platform::ObjectStore store = isManaged() ? this->store() : platform::ObjectStore::defaultStore();
    return QVPackageFolders::isTranslationPackageInstalled(store, languageString());
}
