#pragma once

#include "services/downloads/QVDownloadManager.h"
#include "core/models/QVLanguagePackageRealm.h"

#include <QStringList>

// Installs and removes offline packages: downloads a package's archive into
// Caches, unpacks it safely (QVPackageUnpacker) off the main thread into the
// type's folder, deletes the archive and marks the record downloaded. A
// second download manager, apart from the shared one; call from the main
// thread. Each request ends in exactly one of success and failure, on the main
// thread (a cancelled download fails with a cancellation error).
//
//   QVPackageDownloadManager::sharedManager().downloadPackage(package,
//       [](double progress) { cell->setProgress(progress); },
//       [](const QString &) { cell->setInstalled(); },
//       [](const platform::Error &error) { cell->setFailed(error); });
class QVPackageDownloadManager : public QVDownloadManager {
public:
    using Progress = std::function<void(double progress)>;
    using Success = std::function<void(const QString &path)>;
    using Failure = std::function<void(const platform::Error &error)>;

    static constexpr const char *kDestinationFormat = "DESTINATION PATH: %@; FILE PATH: %@;";
    static constexpr const char *kStartUnzip = "__START__UNZIP__FILE__";
    static constexpr const char *kUnzipped = "__FILE__UNZIPPED__";
    static constexpr const char *kListingError = "contentsOfDirectoryAtPath";
    static constexpr const char *kUnzipSuccessFormat = "SUCCESS UNZIP; PATH: %@";
    static constexpr const char *kSavedFormat = "__FILE__SAVED__%@";
    static constexpr const char *kUnzipError = "UNZIP ERROR";
    static constexpr const char *kErrorDomain = "QVPackageDownloadManager";
    enum ErrorCode { MissingArchive = 1, NoRecord = 2, BadAddress = 3, BadFolderName = 4 };

    static QVPackageDownloadManager &sharedManager();

    // Caches/LanguagePacks/<type>, with "tessdata" for the OCR type.
    static QString filePathForPackage(const QVLanguagePackageRealm &package);
    static QString createPackagePathIfNeed(const QVLanguagePackageRealm &package);
    // The two model folders of a translation package: en-<code>, <code>-en.
    static QStringList pathsForSynaptraPackage(const QVLanguagePackageRealm &package);

    // Starts (or resumes a paused) download of the archive and installs it.
    // An archive left in Caches by an earlier run is replaced by a fresh one.
    void downloadPackage(const QVLanguagePackageRealm &package, const Progress &progress,
                         const Success &success, const Failure &failure);
    // True while the archive downloads; the blocks then replace the running ones.
    bool isPackageDownloading(const QVLanguagePackageRealm &package, const Progress &progress,
                              const Success &success, const Failure &failure);
    // Unpacks the archive at the path, deletes it and marks the package.
    void savePackage(const QVLanguagePackageRealm &package, const QString &archivePath,
                     const Success &success, const Failure &failure);
    void pauseDownloadForPackage(const QVLanguagePackageRealm &package,
                                 const std::function<void(bool)> &success);
    // Removes the package's files and clears the installed flag of every
    // package whose files went with them; true when nothing is left.
    bool deletePackage(const QVLanguagePackageRealm &package);
    // The installed test of the package's type (QVPackageFolders).
    bool isDownloadedPackage(const QVLanguagePackageRealm &package) const;

protected:
    virtual void showNetworkActivityIndicator(bool) {}

private:
    CompletionBlock installAfterDownload(const QVLanguagePackageRealm &package, const Success &success,
                                         const Failure &failure);
    ProgressBlock reportProgress(const Progress &progress);

    // Blocks that may run after the manager is gone hold this weakly.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};
