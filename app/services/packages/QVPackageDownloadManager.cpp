#include "services/packages/QVPackageDownloadManager.h"

#include "core/models/QVPackageFolders.h"
#include "services/packages/QVPackageUnpacker.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"

#include "platform/MainQueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

namespace {

platform::Error packageError(int code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVPackageDownloadManager::kErrorDomain), code, description);
}

bool isTranslationType(const QString &type) {
    return type == QLatin1String(QVPackageFolders::kTranslationType);
}

// A package whose type (or, for translations, language code) cannot stand as
// a folder name would send its files, or a deletion, outside the package folders.
platform::Error folderNameError(const QVLanguagePackageRealm &package) {
    const QString type = package.type();
    if (QVPackageFolders::isFolderName(type) &&
        (!isTranslationType(type) || QVPackageFolders::isFolderName(package.languageCode())))
        return {};
    return packageError(QVPackageDownloadManager::BadFolderName,
                        QStringLiteral("The package names no usable folder."));
}

void logFolderContents(const QString &folder) {
    const QDir dir(folder);
    if (!dir.exists()) {
        DevLogger::logError(packageError(QVPackageDownloadManager::MissingArchive,
                                         QStringLiteral("The package folder is missing.")),
                            QString::fromLatin1(QVPackageDownloadManager::kListingError));
        return;
    }
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : names)
        DevLog(QStringLiteral("%@"), name);
}

// Main thread: marks the package installed and answers the caller.
void finishInstall(const QString &packageUrl, const QString &archivePath, const platform::Error &unpackError,
                   const QVPackageDownloadManager::Success &success,
                   const QVPackageDownloadManager::Failure &failure) {
    if (unpackError) {
        DevLogger::logError(unpackError, QString::fromLatin1(QVPackageDownloadManager::kUnzipError));
        if (failure)
            failure(unpackError);
        return;
    }
    platform::Error openError;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&openError);
    const QVLanguagePackageRealm record(
        store.isNull() ? platform::Object()
                       : store.objectForPrimaryKey(QVLanguagePackageRealm::storeClassName(), packageUrl));
    if (record.isNull()) {
        const platform::Error error =
            store.isNull() ? openError
                           : packageError(QVPackageDownloadManager::NoRecord,
                                          QStringLiteral("The package is no longer in the catalogue."));
        DevLogger::logError(error, QString::fromLatin1(QVPackageDownloadManager::kUnzipError));
        if (failure)
            failure(error);
        return;
    }
    const platform::Error written =
        store.write([&](platform::Transaction &tx) { record.setIsDownloaded(tx, true); });
    if (written) {
        if (failure)
            failure(written);
        return;
    }
    DevLog(QString::fromLatin1(QVPackageDownloadManager::kSavedFormat), archivePath);
    if (success)
        success(archivePath);
}

} // namespace

QVPackageDownloadManager &QVPackageDownloadManager::sharedManager() {
    static QVPackageDownloadManager *instance = new QVPackageDownloadManager;
    return *instance;
}

QString QVPackageDownloadManager::filePathForPackage(const QVLanguagePackageRealm &package) {
    return QVPackageFolders::unpackFolderForType(package.type());
}

QString QVPackageDownloadManager::createPackagePathIfNeed(const QVLanguagePackageRealm &package) {
    const QString path = filePathForPackage(package);
    QDir().mkpath(path);
    return path;
}

QStringList QVPackageDownloadManager::pathsForSynaptraPackage(const QVLanguagePackageRealm &package) {
    const QString code = package.languageCode();
    return {QVPackageFolders::translationFolderFromEnglish(code),
            QVPackageFolders::translationFolderToEnglish(code)};
}

QVDownloadManager::ProgressBlock QVPackageDownloadManager::reportProgress(const Progress &progress) {
    const std::weak_ptr<int> alive = m_lifetime;
    return [this, alive, progress](double value) {
        if (!alive.expired())
            showNetworkActivityIndicator(true);
        if (progress)
            progress(value);
    };
}

QVDownloadManager::CompletionBlock
QVPackageDownloadManager::installAfterDownload(const QVLanguagePackageRealm &package, const Success &success,
                                               const Failure &failure) {
    const std::weak_ptr<int> alive = m_lifetime;
    const QString packageUrl = package.packageUrl();
    const QString archivePath = QVPackageFolders::archivePathForUrl(packageUrl);
    return [this, alive, packageUrl, archivePath, success, failure](bool finished,
                                                                    const platform::Error &error) {
        if (alive.expired())
            return;
        showNetworkActivityIndicator(false);
        if (!finished) {
            if (failure)
                failure(error);
            return;
        }
        const platform::ObjectStore store = platform::ObjectStore::defaultStore();
        const QVLanguagePackageRealm record(
            store.isNull() ? platform::Object()
                           : store.objectForPrimaryKey(QVLanguagePackageRealm::storeClassName(), packageUrl));
        if (record.isNull()) {
            QFile::remove(archivePath);
            if (failure)
                failure(packageError(NoRecord, QStringLiteral("The package is no longer in the catalogue.")));
            return;
        }
        savePackage(record, archivePath, success, failure);
    };
}

void QVPackageDownloadManager::downloadPackage(const QVLanguagePackageRealm &package,
                                               const Progress &progress, const Success &success,
                                               const Failure &failure) {
    const QString url = package.packageUrl();
    const QString archivePath = QVPackageFolders::archivePathForUrl(url);
    if (archivePath.isEmpty()) {
        if (failure)
            failure(packageError(BadAddress, QStringLiteral("The package has no archive address.")));
        return;
    }
    if (const platform::Error error = folderNameError(package)) {
        if (failure)
            failure(error);
        return;
    }
    const QString name = QFileInfo(archivePath).fileName();
    if (!fileDownloadCompletedForUrl(url)) {
        // A paused download resumes with these blocks; a running one takes them over.
        if (downloadOrResumeFileForURL(url, name, QString(), reportProgress(progress),
                                       installAfterDownload(package, success, failure), true) == 0)
            isPackageDownloading(package, progress, success, failure);
        return;
    }
    // Nothing downloads it now, so an archive there is an earlier run's.
    if (!deleteFileWithName(name)) {
        if (failure)
            failure(packageError(MissingArchive, QStringLiteral("An earlier archive cannot be removed.")));
        return;
    }
    downloadOrResumeFileForURL(url, name, QString(), reportProgress(progress),
                               installAfterDownload(package, success, failure), true);
}

bool QVPackageDownloadManager::isPackageDownloading(const QVLanguagePackageRealm &package,
                                                    const Progress &progress, const Success &success,
                                                    const Failure &failure) {
    return isFileDownloadingForUrl(package.packageUrl(), reportProgress(progress),
                                   installAfterDownload(package, success, failure));
}

void QVPackageDownloadManager::savePackage(const QVLanguagePackageRealm &package, const QString &archivePath,
                                           const Success &success, const Failure &failure) {
    if (!QFileInfo(archivePath).isFile()) {
        if (failure)
            failure(packageError(MissingArchive, QStringLiteral("The downloaded archive is missing.")));
        return;
    }
    if (const platform::Error error = folderNameError(package)) {
        QFile::remove(archivePath);
        DevLogger::logError(error, QString::fromLatin1(kUnzipError));
        if (failure)
            failure(error);
        return;
    }
    const QString destination = createPackagePathIfNeed(package);
    DevLog(QString::fromLatin1(kDestinationFormat), destination, archivePath);
    DevLog(QString::fromLatin1(kStartUnzip));
    const QVPackageUnpacker::Request request{archivePath, destination, package.type(),
                                             package.languageCode()};
    const QString packageUrl = package.packageUrl();
    QThreadPool::globalInstance()->start([request, packageUrl, success, failure] {
        const platform::Error error = QVPackageUnpacker::unpack(request);
        DevLog(QString::fromLatin1(kUnzipped));
        QFile::remove(request.archivePath);
        logFolderContents(request.destination);
        if (!error && success)
            DevLog(QString::fromLatin1(kUnzipSuccessFormat), request.archivePath);
        platform::dispatchAsyncMain([packageUrl, request, error, success, failure] {
            finishInstall(packageUrl, request.archivePath, error, success, failure);
        });
    });
}

void QVPackageDownloadManager::pauseDownloadForPackage(const QVLanguagePackageRealm &package,
                                                       const std::function<void(bool)> &success) {
    pauseDownloadForUrl(package.packageUrl(), success);
}

bool QVPackageDownloadManager::deletePackage(const QVLanguagePackageRealm &package) {
    if (const platform::Error error = folderNameError(package)) {
        DevLogger::logError(error, QStringLiteral("deletePackage"));
        return false;
    }
    const QString type = package.type();
    const QString code = package.languageCode();
    bool removed = true;
    const QStringList folders =
        isTranslationType(type) ? pathsForSynaptraPackage(package) : QStringList{filePathForPackage(package)};
    for (const QString &folder : folders) {
        if (QFileInfo::exists(folder) && !QDir(folder).removeRecursively())
            removed = false;
    }
    // Translation folders belong to one language; the other kinds share one
    // folder, so every package of the kind lost its files.
    using platform::Key;
    platform::Predicate gone = Key(QStringLiteral("type")) == type;
    if (isTranslationType(type))
        gone = gone && Key(QStringLiteral("languageCode")) == code;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull())
        return false;
    const platform::Error error = store.write([&](platform::Transaction &tx) {
        const QList<QVLanguagePackageRealm> records = store.objects(QVLanguagePackageRealm::storeClassName())
                                                          .filter(gone)
                                                          .toList<QVLanguagePackageRealm>();
        for (const QVLanguagePackageRealm &record : records)
            record.setIsDownloaded(tx, false);
    });
    if (error) {
        DevLogger::logError(error, QStringLiteral("deletePackage"));
        return false;
    }
    return removed;
}

bool QVPackageDownloadManager::isDownloadedPackage(const QVLanguagePackageRealm &package) const {
    return QVPackageFolders::isPackageInstalled(platform::ObjectStore::defaultStore(), package.type(),
                                                package.languageCode());
}
