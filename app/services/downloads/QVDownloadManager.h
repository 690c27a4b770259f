#pragma once

#include "services/downloads/QVDownloadObject.h"

#include "platform/Error.h"

#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

// Downloads files over HTTP(S) into the Caches folder, keeping a table of the
// downloads in progress keyed by the address as given. Bytes stream into a
// partial file in Caches/.downloading (a folder no download may name), and the
// finished file is moved to Caches/<folder>/<name>. Call from the main thread; every block runs on the
// main thread, once per outcome (the immediate NO of "File already exists!"
// and of a cancel runs before the call returns).
//
//   QVDownloadManager::sharedManager().downloadFileForURL(
//       url, QStringLiteral("results"),
//       [](double progress) { bar->setValue(progress * 100); },
//       [](quint64 seconds) { label->setText(left(seconds)); },
//       [](bool finished, const platform::Error &error) { ... }, false);
//
// Another address whose file would land at the same place is refused at
// once (NO, FileInUse). A transfer that fails (network, server refusal, a
// full disk, a failed move) ends with NO and its error and leaves the table;
// a cancel ends with NO and a cancellation error (isCancellation). Pausing
// keeps the partial file; resuming asks for the rest ("Range", with "If-Range"
// naming the version first served), and a server that sends the whole file
// again (200), another version, or a file that gave no version starts it
// afresh. A download is finished only when every byte of the stated length
// arrived; a Content-Range that contradicts itself or the request is BadRange.
// Partial and finished files are never written or moved through a link.
//
// Transfers run on the manager's own thread with its own network access. The
// background flag picks the second of the manager's two network sessions,
// whose requests go at low priority behind the interactive ones: Linux has no
// system service that carries a download on after the program ends, so both
// sessions live and end with the process.
class QVDownloadManager {
public:
    using ProgressBlock = QVDownloadObject::ProgressBlock;
    using RemainingTimeBlock = QVDownloadObject::RemainingTimeBlock;
    using CompletionBlock = QVDownloadObject::CompletionBlock;

    static constexpr const char *kDownloadingMessage = "File is downloading!";
    static constexpr const char *kExistsMessage = "File already exists!";
    static constexpr const char *kMoveErrorMessage = "Error move item";
    static constexpr const char *kDeleteErrorMessage = "Error deleting file";
    static constexpr const char *kErrorDomain = "QVDownloadManager";
    enum ErrorCode {
        FileExists = 1,
        BadName = 2,
        WriteFailed = 3,
        MoveFailed = 4,
        Incomplete = 5,
        FileInUse = 6,
        BadRange = 7
    };
    // Transport failures and cancellation use the URL-loading domain and codes.
    static constexpr const char *kURLErrorDomain = "NSURLErrorDomain";
    static constexpr qint64 kCancelledCode = -999;
    // HTTP refusals: the status as code.
    static constexpr const char *kResponseErrorDomain = "com.translator.network.response";
    // The name of each manager's background session.
    static constexpr const char *kBackgroundSessionIdentifier = "com.Tessaphyre.translatorDownloader";

    static QVDownloadManager &sharedManager();

    QVDownloadManager();
    virtual ~QVDownloadManager();
    QVDownloadManager(const QVDownloadManager &) = delete;
    QVDownloadManager &operator=(const QVDownloadManager &) = delete;

    // The start operations return the transfer's handle, 0 when nothing started.
    // "Download 1": the full form; an empty name takes the address's last path component.
    quint64 downloadFileForURL(const QString &url, const QString &name, const QString &directory,
                               const ProgressBlock &progress, const RemainingTimeBlock &remainingTime,
                               const CompletionBlock &completion, bool background);
    // "Download 2": named after the address.
    quint64 downloadFileForURL(const QString &url, const QString &directory, const ProgressBlock &progress,
                               const RemainingTimeBlock &remainingTime, const CompletionBlock &completion,
                               bool background);
    // "Download 3": named after the address, into Caches.
    quint64 downloadFileForURL(const QString &url, const ProgressBlock &progress,
                               const RemainingTimeBlock &remainingTime, const CompletionBlock &completion,
                               bool background);
    // "Download 4": no remaining-time reports.
    quint64 downloadFileForURL(const QString &url, const QString &name, const QString &directory,
                               const ProgressBlock &progress, const CompletionBlock &completion,
                               bool background);
    // "Download 5": named after the address, no remaining-time reports.
    quint64 downloadFileForURL(const QString &url, const QString &directory, const ProgressBlock &progress,
                               const CompletionBlock &completion, bool background);
    // "Download 6": named after the address, into Caches, no remaining-time reports.
    quint64 downloadFileForURL(const QString &url, const ProgressBlock &progress,
                               const CompletionBlock &completion, bool background);
    // "Download 7": resumes a paused download of the address with these blocks,
    // or starts one; a running one is left alone ("Error").
    quint64 downloadOrResumeFileForURL(const QString &url, const QString &name, const QString &directory,
                                       const ProgressBlock &progress, const CompletionBlock &completion,
                                       bool background);

    void cancelDownloadForUrl(const QString &url);
    // Cancels only that transfer, if it is still in the table.
    void cancelDownload(quint64 transfer);
    // Stops a running download keeping its partial file and clears its
    // blocks; the block gets YES. Nothing for an unknown address.
    void pauseDownloadForUrl(const QString &url, const std::function<void(bool)> &success);
    void cancelAllDownloads();
    QStringList currentDownloads() const;

    // YES when the address is in the table, after giving its entry these
    // blocks (the remaining-time block stays).
    bool isFileDownloadingForUrl(const QString &url, const ProgressBlock &progress,
                                 const CompletionBlock &completion);
    bool isFileDownloadingForUrl(const QString &url, const ProgressBlock &progress);
    bool fileDownloadCompletedForUrl(const QString &url) const;

    // Caches[/directory]/<last path component of name>.
    static QString localPathForFile(const QString &name, const QString &directory);
    static QString localPathForFile(const QString &name);
    static bool fileExistsWithName(const QString &name, const QString &directory);
    static bool fileExistsWithName(const QString &name);
    static bool fileExistsForUrl(const QString &url, const QString &directory);
    static bool fileExistsForUrl(const QString &url);
    // True when no file is left there; a failed removal is reported and false.
    static bool deleteFileWithName(const QString &name, const QString &directory);
    static bool deleteFileWithName(const QString &name);
    static bool deleteFileForUrl(const QString &url, const QString &directory);
    static bool deleteFileForUrl(const QString &url);
    static QUrl cachesDirectoryUrlPath();

    // Seconds left at the average rate so far: (expected - transferred) /
    // (transferred / elapsed); nothing before any byte or time has passed.
    static std::optional<quint64> remainingTimeForDownload(double elapsedSeconds, qint64 bytesTransferred,
                                                           qint64 totalBytesExpected);
    static bool isCancellation(const platform::Error &error);

    // Blocks until the transfer thread has handled everything sent to it (tests).
    void waitForTransferThread();

protected:
    virtual void cleanTmpDirectory() {}
    virtual void showLocalNotification() {}

private:
    struct Core;
    quint64 start(const QString &logFormat, const QString &url, const QString &name, const QString &directory,
                  const ProgressBlock &progress, const RemainingTimeBlock &remainingTime,
                  const CompletionBlock &completion, bool background);

    std::shared_ptr<Core> m_core;
};
