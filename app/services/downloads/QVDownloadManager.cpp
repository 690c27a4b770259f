#include "services/downloads/QVDownloadManager.h"

#include "platform/BackendNetworkAccess.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"

#include "platform/AppPaths.h"
#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QThread>

#include <cmath>
#include <limits>
#include <map>

namespace {

// A transfer that receives nothing for this long has failed.
constexpr int kStallTimeoutMs = 60000;
// Progress goes to the main thread at most this often; the whole file is reported with the outcome.
constexpr qint64 kProgressIntervalMs = 50;

const QString kPartSuffix = QStringLiteral(".part");

platform::Error downloadError(int code, const QString &description, const QString &path = {}) {
    QVariantMap info;
    if (!path.isEmpty())
        info.insert(QStringLiteral("NSFilePath"), path);
    return platform::Error(QString::fromLatin1(QVDownloadManager::kErrorDomain), code, description, info);
}

platform::Error cancelledError(const QString &url) {
    return platform::Error(QString::fromLatin1(QVDownloadManager::kURLErrorDomain),
                           QVDownloadManager::kCancelledCode, QStringLiteral("cancelled"),
                           {{QStringLiteral("NSErrorFailingURLStringKey"), url}});
}

platform::Error transportError(QNetworkReply::NetworkError code, const QString &message, const QUrl &url) {
    qint64 urlCode = -1;
    QString description = QStringLiteral("An unknown error occurred.");
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
        urlCode = -1004, description = QStringLiteral("Could not connect to the server.");
        break;
    case QNetworkReply::HostNotFoundError:
        urlCode = -1003,
        description = QStringLiteral("A server with the specified hostname could not be found.");
        break;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the stall timer aborts this way
        urlCode = -1001, description = QStringLiteral("The request timed out.");
        break;
    case QNetworkReply::RemoteHostClosedError:
        urlCode = -1005, description = QStringLiteral("The network connection was lost.");
        break;
    case QNetworkReply::SslHandshakeFailedError:
        urlCode = -1202, description = QStringLiteral("The certificate for this server is invalid.");
        break;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        urlCode = -1009, description = QStringLiteral("The Internet connection appears to be offline.");
        break;
    case QNetworkReply::ProtocolUnknownError:
        urlCode = -1002, description = QStringLiteral("unsupported URL");
        break;
    default:
        break;
    }
    return platform::Error(QString::fromLatin1(QVDownloadManager::kURLErrorDomain), urlCode, description,
                           {{QStringLiteral("NSErrorFailingURLStringKey"), url.toString()},
                            {QStringLiteral("NSDebugDescription"), message}});
}

platform::Error responseError(int status, const QUrl &url) {
    return platform::Error(QString::fromLatin1(QVDownloadManager::kResponseErrorDomain), status,
                           QStringLiteral("The server refused the download (HTTP %1).").arg(status),
                           {{QStringLiteral("NSErrorFailingURLStringKey"), url.toString()}});
}

bool isPlainName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

// A folder under Caches: relative, without "." or ".." steps.
bool isPlainFolder(const QString &folder) {
    if (folder.isEmpty())
        return true;
    if (folder.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (!isPlainName(part))
            return false;
    }
    return !parts.isEmpty();
}

QString lastPathComponent(const QString &path) {
    const QString trimmed = path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString nameFromUrl(const QString &url) {
    return lastPathComponent(QUrl(url).path());
}

} // namespace

namespace {

// One transfer on the manager's thread.
struct Transfer {
    quint64 run = 0;
    QString key;
    QUrl url;
    QString partPath;
    QString destination;
    bool background = false;
    QNetworkReply *reply = nullptr;
    QFile part;
    qint64 offset = 0;    // bytes already in the partial file when this request went out
    qint64 written = 0;   // bytes in the partial file now
    qint64 expected = -1; // size of the whole file, when the server says
    bool statusChecked = false;
    bool restarted = false;
    QElapsedTimer clock;
    qint64 lastProgressMs = -1;
};

} // namespace

struct QVDownloadManager::Core {
    mutable QMutex mutex;
    std::map<QString, QVDownloadObject> downloads; // under mutex
    quint64 nextRun = 1;                           // under mutex

    QThread thread;
    QObject *context = nullptr;
    // The manager's thread only.
    QNetworkAccessManager *session = nullptr;
    QNetworkAccessManager *backgroundSession = nullptr;
    std::map<quint64, std::unique_ptr<Transfer>> transfers;

    std::weak_ptr<Core> self;

    void onWorker(std::function<void()> block) {
        if (context)
            QMetaObject::invokeMethod(context, std::move(block), Qt::QueuedConnection);
    }

    // Worker side.
    void begin(quint64 run, const QString &key, const QString &destination, bool background, bool resume);
    void sendRequest(Transfer &transfer);
    bool checkStatus(Transfer &transfer);
    void restartFromZero(Transfer &transfer);
    void onReadyRead(quint64 run);
    void onFinished(quint64 run);
    void reportProgress(Transfer &transfer);
    void fail(quint64 run, const platform::Error &error);
    void stop(quint64 run, bool removePart);
    void detach(Transfer &transfer);
    Transfer *find(quint64 run) {
        auto it = transfers.find(run);
        return it == transfers.end() ? nullptr : it->second.get();
    }
    // Any thread: the outcome of one run.
    void end(const QString &key, quint64 run, bool finished, const platform::Error &error);

    void shutdown();

    // Transfer threads stop before the application object goes away.
    static QMutex &registryMutex() {
        static QMutex mutex;
        return mutex;
    }
    static QList<Core *> &registry() {
        static QList<Core *> *cores = new QList<Core *>; // outlives the post routine
        return *cores;
    }
    static void registerCore(Core *core) {
        QMutexLocker lock(&registryMutex());
        static bool routineAdded = false;
        if (!routineAdded) {
            qAddPostRoutine(shutdownAll);
            routineAdded = true;
        }
        registry().append(core);
    }
    static void unregisterCore(Core *core) {
        QMutexLocker lock(&registryMutex());
        registry().removeAll(core);
    }
    static void shutdownAll() {
        QList<Core *> cores;
        {
            QMutexLocker lock(&registryMutex());
            cores = registry();
        }
        for (Core *core : cores)
            core->shutdown();
    }
};

void QVDownloadManager::Core::shutdown() {
    if (!context)
        return;
    if (thread.isRunning()) {
        QMetaObject::invokeMethod(
            context,
            [this] {
                for (auto &entry : transfers)
                    detach(*entry.second);
                transfers.clear();
                delete session;
                delete backgroundSession;
                session = backgroundSession = nullptr;
            },
            Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    delete context;
    context = nullptr;
}

void QVDownloadManager::Core::begin(quint64 run, const QString &key, const QString &destination,
                                    bool background, bool resume) {
    auto transfer = std::make_unique<Transfer>();
    transfer->run = run;
    transfer->key = key;
    transfer->url = QUrl(key);
    transfer->destination = destination;
    transfer->partPath = destination + kPartSuffix;
    transfer->background = background;
    QDir().mkpath(QFileInfo(destination).absolutePath());
    if (!resume)
        QFile::remove(transfer->partPath);
    transfer->part.setFileName(transfer->partPath);
    transfer->offset = resume ? qMax<qint64>(0, QFileInfo(transfer->partPath).size()) : 0;
    const QIODevice::OpenMode mode = transfer->offset > 0 ? QIODevice::WriteOnly | QIODevice::Append
                                                          : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!transfer->part.open(mode)) {
        end(key, run, false,
            downloadError(WriteFailed,
                          QStringLiteral("Cannot write the download: %1").arg(transfer->part.errorString()),
                          transfer->partPath));
        return;
    }
    Transfer &ref = *transfer;
    transfers[run] = std::move(transfer);
    sendRequest(ref);
}

void QVDownloadManager::Core::sendRequest(Transfer &transfer) {
    QNetworkAccessManager *&manager = transfer.background ? backgroundSession : session;
    if (!manager) {
        manager = new platform::BackendNetworkAccess(context);
        if (transfer.background)
            manager->setObjectName(QString::fromLatin1(kBackgroundSessionIdentifier));
    }
    QNetworkRequest request(transfer.url);
    request.setTransferTimeout(kStallTimeoutMs);
    if (transfer.background)
        request.setPriority(QNetworkRequest::LowPriority);
    if (transfer.offset > 0)
        request.setRawHeader("Range", "bytes=" + QByteArray::number(transfer.offset) + "-");
    transfer.statusChecked = false;
    transfer.written = transfer.offset;
    transfer.expected = -1;
    transfer.lastProgressMs = -1;
    transfer.clock.start();
    transfer.reply = manager->get(request);
    const quint64 run = transfer.run;
    QObject::connect(transfer.reply, &QNetworkReply::readyRead, context, [this, run] { onReadyRead(run); });
    QObject::connect(transfer.reply, &QNetworkReply::finished, context, [this, run] { onFinished(run); });
}

void QVDownloadManager::Core::detach(Transfer &transfer) {
    if (transfer.reply) {
        QObject::disconnect(transfer.reply, nullptr, context, nullptr);
        transfer.reply->abort();
        transfer.reply->deleteLater();
        transfer.reply = nullptr;
    }
    transfer.part.close();
}

void QVDownloadManager::Core::restartFromZero(Transfer &transfer) {
    detach(transfer);
    transfer.restarted = true;
    transfer.offset = 0;
    if (!transfer.part.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(transfer.run, downloadError(WriteFailed, transfer.part.errorString(), transfer.partPath));
        return;
    }
    sendRequest(transfer);
}

// Decides what the answer means before its first byte is kept. False when the
// transfer failed or went out again.
bool QVDownloadManager::Core::checkStatus(Transfer &transfer) {
    const QVariant statusAttribute = transfer.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid()) {
        if (transfer.reply->error() != QNetworkReply::NoError)
            return true; // no answer at all: the finish reports the transport error
        transfer.statusChecked = true;
        return true;
    }
    const int status = statusAttribute.toInt();
    const qint64 length = transfer.reply->header(QNetworkRequest::ContentLengthHeader).isValid()
                              ? transfer.reply->header(QNetworkRequest::ContentLengthHeader).toLongLong()
                              : -1;
    if (status == 416 && transfer.offset > 0 && !transfer.restarted) {
        restartFromZero(transfer);
        return false;
    }
    if (status < 200 || status >= 300) {
        fail(transfer.run, responseError(status, transfer.url));
        return false;
    }
    if (transfer.offset > 0 && status == 206) {
        static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+|\\*)$"));
        const QRegularExpressionMatch match =
            range.match(QString::fromLatin1(transfer.reply->rawHeader("Content-Range")).trimmed());
        if (!match.hasMatch() || match.captured(1).toLongLong() != transfer.offset) {
            if (transfer.restarted) {
                fail(transfer.run,
                     downloadError(Incomplete, QStringLiteral("The server sent a wrong part.")));
            } else {
                restartFromZero(transfer);
            }
            return false;
        }
        transfer.expected = match.captured(3) == QLatin1String("*")
                                ? (length >= 0 ? transfer.offset + length : -1)
                                : match.captured(3).toLongLong();
    } else {
        if (transfer.offset > 0) {
            // The whole file again: what was kept is dropped.
            if (!transfer.part.resize(0) || !transfer.part.seek(0)) {
                fail(transfer.run,
                     downloadError(WriteFailed, transfer.part.errorString(), transfer.partPath));
                return false;
            }
            transfer.offset = 0;
            transfer.written = 0;
        }
        transfer.expected = length;
    }
    transfer.statusChecked = true;
    return true;
}

void QVDownloadManager::Core::onReadyRead(quint64 run) {
    Transfer *transfer = find(run);
    if (!transfer || !transfer->reply)
        return;
    if (!transfer->statusChecked && !checkStatus(*transfer))
        return;
    if (!transfer->statusChecked)
        return;
    const QByteArray data = transfer->reply->readAll();
    if (data.isEmpty())
        return;
    if (transfer->part.write(data) != data.size()) {
        fail(run,
             downloadError(WriteFailed,
                           QStringLiteral("Cannot write the download: %1").arg(transfer->part.errorString()),
                           transfer->partPath));
        return;
    }
    transfer->written += data.size();
    reportProgress(*transfer);
}

void QVDownloadManager::Core::onFinished(quint64 run) {
    Transfer *transfer = find(run);
    if (!transfer || !transfer->reply)
        return;
    if (transfer->reply->bytesAvailable() > 0 || !transfer->statusChecked) {
        onReadyRead(run);
        transfer = find(run);
        if (!transfer || !transfer->reply || transfer->reply->isRunning())
            return; // failed, or went out again
    }
    QNetworkReply *reply = transfer->reply;
    if (reply->error() != QNetworkReply::NoError) {
        fail(run, transportError(reply->error(), reply->errorString(), transfer->url));
        return;
    }
    if (!transfer->part.flush()) {
        fail(run, downloadError(WriteFailed, transfer->part.errorString(), transfer->partPath));
        return;
    }
    if (transfer->expected >= 0 && transfer->written != transfer->expected) {
        fail(run, downloadError(Incomplete, QStringLiteral("The download ended early.")));
        return;
    }
    detach(*transfer);
    DevLog(QStringLiteral("downloadTask didFinishDownloadingToURL %@"), transfer->url.toString());

    const QString destination = transfer->destination;
    const QString partPath = transfer->partPath;
    const QString key = transfer->key;
    transfers.erase(run);
    QFile::remove(destination);
    if (!QFile::rename(partPath, destination)) {
        const platform::Error error =
            downloadError(MoveFailed, QString::fromLatin1(kMoveErrorMessage), destination);
        DevLogger::logError(error, QString::fromLatin1(kMoveErrorMessage));
        QFile::remove(partPath);
        end(key, run, false, error);
        return;
    }
    end(key, run, true, {});
}

void QVDownloadManager::Core::reportProgress(Transfer &transfer) {
    if (transfer.expected <= 0)
        return;
    const qint64 elapsedMs = transfer.clock.elapsed();
    if (transfer.lastProgressMs >= 0 && elapsedMs - transfer.lastProgressMs < kProgressIntervalMs)
        return;
    transfer.lastProgressMs = elapsedMs;
    const double progress = double(transfer.written) / double(transfer.expected);
    // The rate of this request alone: a resumed transfer's earlier bytes took no time here.
    const std::optional<quint64> remaining = remainingTimeForDownload(
        elapsedMs / 1000.0, transfer.written - transfer.offset, transfer.expected - transfer.offset);
    const std::weak_ptr<Core> weak = self;
    const QString key = transfer.key;
    const quint64 run = transfer.run;
    platform::dispatchAsyncMain([weak, key, run, progress, remaining] {
        const std::shared_ptr<Core> core = weak.lock();
        if (!core)
            return;
        ProgressBlock progressBlock;
        RemainingTimeBlock remainingBlock;
        {
            QMutexLocker lock(&core->mutex);
            auto it = core->downloads.find(key);
            if (it == core->downloads.end() || it->second.run != run ||
                it->second.state != QVDownloadObject::Running)
                return;
            progressBlock = it->second.progressBlock;
            remainingBlock = it->second.remainingTimeBlock;
        }
        if (progressBlock)
            progressBlock(progress);
        if (remaining && remainingBlock)
            remainingBlock(*remaining);
    });
}

void QVDownloadManager::Core::fail(quint64 run, const platform::Error &error) {
    Transfer *transfer = find(run);
    if (!transfer)
        return;
    detach(*transfer);
    QFile::remove(transfer->partPath);
    const QString key = transfer->key;
    transfers.erase(run);
    end(key, run, false, error);
}

void QVDownloadManager::Core::stop(quint64 run, bool removePart) {
    Transfer *transfer = find(run);
    if (!transfer)
        return;
    detach(*transfer);
    if (removePart)
        QFile::remove(transfer->partPath);
    transfers.erase(run);
}

void QVDownloadManager::Core::end(const QString &key, quint64 run, bool finished,
                                  const platform::Error &error) {
    CompletionBlock completion;
    ProgressBlock progress;
    {
        QMutexLocker lock(&mutex);
        auto it = downloads.find(key);
        if (it == downloads.end() || it->second.run != run)
            return; // cancelled meanwhile
        if (it->second.state == QVDownloadObject::Paused) {
            it->second.state = QVDownloadObject::Ended;
            it->second.endedFinished = finished;
            it->second.endedError = error;
            return;
        }
        completion = it->second.completionBlock;
        if (finished)
            progress = it->second.progressBlock;
        downloads.erase(it);
    }
    // The last progress report comes with the outcome, once the entry is gone.
    if (completion || progress) {
        platform::dispatchAsyncMain([progress, completion, finished, error] {
            if (progress)
                progress(1.0);
            if (completion)
                completion(finished, error);
        });
    }
}

// ---------------------------------------------------------------------------

QVDownloadManager &QVDownloadManager::sharedManager() {
    static QVDownloadManager *instance = new QVDownloadManager;
    return *instance;
}

QVDownloadManager::QVDownloadManager() : m_core(std::make_shared<Core>()) {
    m_core->self = m_core;
    m_core->thread.setObjectName(QStringLiteral("downloads"));
    m_core->context = new QObject;
    m_core->context->moveToThread(&m_core->thread);
    m_core->thread.start();
    Core::registerCore(m_core.get());
}

QVDownloadManager::~QVDownloadManager() {
    Core::unregisterCore(m_core.get());
    m_core->shutdown();
}

quint64 QVDownloadManager::downloadFileForURL(const QString &url, const QString &name,
                                              const QString &directory, const ProgressBlock &progress,
                                              const RemainingTimeBlock &remainingTime,
                                              const CompletionBlock &completion, bool background) {
    return start(QStringLiteral("Download 1: %@"), url, name, directory, progress, remainingTime, completion,
                 background);
}

quint64 QVDownloadManager::downloadFileForURL(const QString &url, const QString &directory,
                                              const ProgressBlock &progress,
                                              const RemainingTimeBlock &remainingTime,
                                              const CompletionBlock &completion, bool background) {
    return start(QStringLiteral("Download 2: %@"), url, QString(), directory, progress, remainingTime,
                 completion, background);
}

quint64 QVDownloadManager::downloadFileForURL(const QString &url, const ProgressBlock &progress,
                                              const RemainingTimeBlock &remainingTime,
                                              const CompletionBlock &completion, bool background) {
    return start(QStringLiteral("Download 3: %@"), url, QString(), QString(), progress, remainingTime,
                 completion, background);
}

quint64 QVDownloadManager::downloadFileForURL(const QString &url, const QString &name,
                                              const QString &directory, const ProgressBlock &progress,
                                              const CompletionBlock &completion, bool background) {
    return start(QStringLiteral("Download 4: %@"), url, name, directory, progress, {}, completion,
                 background);
}

quint64 QVDownloadManager::downloadFileForURL(const QString &url, const QString &directory,
                                              const ProgressBlock &progress,
                                              const CompletionBlock &completion, bool background) {
    return start(QStringLiteral("Download 5: %@"), url, QString(), directory, progress, {}, completion,
                 background);
}

quint64 QVDownloadManager::downloadFileForURL(const QString &url, const ProgressBlock &progress,
                                              const CompletionBlock &completion, bool background) {
    return start(QStringLiteral("Download 6: %@"), url, QString(), QString(), progress, {}, completion,
                 background);
}

quint64 QVDownloadManager::downloadOrResumeFileForURL(const QString &url, const QString &name,
                                                      const QString &directory, const ProgressBlock &progress,
                                                      const CompletionBlock &completion, bool background) {
    DevLog(QStringLiteral("Download 7: %@"), url);
    std::optional<std::pair<bool, platform::Error>> ended;
    {
        QMutexLocker lock(&m_core->mutex);
        auto it = m_core->downloads.find(url);
        if (it != m_core->downloads.end()) {
            QVDownloadObject &entry = it->second;
            if (entry.state == QVDownloadObject::Running) {
                DevLog(QStringLiteral("Error"));
                return 0;
            }
            if (entry.state == QVDownloadObject::Ended) {
                ended = std::make_pair(entry.endedFinished, entry.endedError);
                m_core->downloads.erase(it);
            } else {
                entry.progressBlock = progress;
                entry.remainingTimeBlock = {};
                entry.completionBlock = completion;
                entry.state = QVDownloadObject::Running;
                entry.run = m_core->nextRun++;
                const quint64 run = entry.run;
                const QString destination = localPathForFile(entry.fileName, entry.directoryName);
                const bool inBackground = entry.background;
                const quint64 handle = entry.handle;
                Core *core = m_core.get();
                m_core->onWorker([core, run, url, destination, inBackground] {
                    core->begin(run, url, destination, inBackground, true);
                });
                return handle;
            }
        }
    }
    if (ended) {
        if (completion) {
            const auto outcome = *ended;
            platform::dispatchAsyncMain([completion, outcome] { completion(outcome.first, outcome.second); });
        }
        return 0;
    }
    return start(QString(), url, name, directory, progress, {}, completion, background);
}

quint64 QVDownloadManager::start(const QString &logFormat, const QString &url, const QString &name,
                                 const QString &directory, const ProgressBlock &progress,
                                 const RemainingTimeBlock &remainingTime, const CompletionBlock &completion,
                                 bool background) {
    if (!logFormat.isEmpty())
        DevLog(logFormat, url);
    const QString fileName = lastPathComponent(name.isEmpty() ? nameFromUrl(url) : name);
    quint64 handle = 0;
    QString destination;
    bool inUse = false;
    {
        QMutexLocker lock(&m_core->mutex);
        if (m_core->downloads.count(url)) {
            DevLog(QString::fromLatin1(kDownloadingMessage));
            return 0;
        }
        if (isPlainName(fileName) && isPlainFolder(directory)) {
            destination = localPathForFile(fileName, directory);
            // Another address with the same file would share its partial file.
            for (const auto &other : m_core->downloads)
                inUse = inUse ||
                        localPathForFile(other.second.fileName, other.second.directoryName) == destination;
            if (!inUse && !QFileInfo::exists(destination)) {
                QVDownloadObject entry;
                entry.handle = entry.run = m_core->nextRun++;
                entry.progressBlock = progress;
                entry.remainingTimeBlock = remainingTime;
                entry.completionBlock = completion;
                entry.fileName = fileName;
                entry.directoryName = directory;
                entry.startDate = QDateTime::currentDateTimeUtc();
                entry.background = background;
                handle = entry.handle;
                m_core->downloads.emplace(url, std::move(entry));
            }
        }
    }
    if (destination.isEmpty()) {
        if (completion)
            completion(false,
                       downloadError(BadName, QStringLiteral("The download has no usable file name.")));
        return 0;
    }
    if (inUse) {
        DevLog(QString::fromLatin1(kDownloadingMessage));
        if (completion)
            completion(false,
                       downloadError(FileInUse, QString::fromLatin1(kDownloadingMessage), destination));
        return 0;
    }
    if (handle == 0) {
        if (completion)
            completion(false, downloadError(FileExists, QString::fromLatin1(kExistsMessage), destination));
        DevLog(QString::fromLatin1(kExistsMessage));
        return 0;
    }
    Core *core = m_core.get();
    m_core->onWorker([core, handle, url, destination, background] {
        core->begin(handle, url, destination, background, false);
    });
    return handle;
}

void QVDownloadManager::cancelDownloadForUrl(const QString &url) {
    CompletionBlock completion;
    {
        QMutexLocker lock(&m_core->mutex);
        auto it = m_core->downloads.find(url);
        if (it == m_core->downloads.end())
            return;
        completion = it->second.completionBlock;
        const quint64 run = it->second.run;
        const QString part = localPathForFile(it->second.fileName, it->second.directoryName) + kPartSuffix;
        m_core->downloads.erase(it);
        Core *core = m_core.get();
        // After any pause still on its way, so nothing writes the file again.
        m_core->onWorker([core, run, part] {
            core->stop(run, true);
            QFile::remove(part);
        });
    }
    if (completion)
        completion(false, cancelledError(url));
}

void QVDownloadManager::cancelDownload(quint64 transfer) {
    QString url;
    {
        QMutexLocker lock(&m_core->mutex);
        for (const auto &entry : m_core->downloads) {
            if (entry.second.handle == transfer) {
                url = entry.first;
                break;
            }
        }
    }
    if (!url.isEmpty())
        cancelDownloadForUrl(url);
}

void QVDownloadManager::pauseDownloadForUrl(const QString &url, const std::function<void(bool)> &success) {
    {
        QMutexLocker lock(&m_core->mutex);
        auto it = m_core->downloads.find(url);
        if (it == m_core->downloads.end())
            return;
        QVDownloadObject &entry = it->second;
        if (entry.state == QVDownloadObject::Running) {
            entry.state = QVDownloadObject::Paused;
            const quint64 run = entry.run;
            Core *core = m_core.get();
            m_core->onWorker([core, run] { core->stop(run, false); });
        }
        entry.progressBlock = {};
        entry.remainingTimeBlock = {};
        entry.completionBlock = {};
    }
    if (success)
        success(true);
}

void QVDownloadManager::cancelAllDownloads() {
    QStringList urls = currentDownloads();
    for (const QString &url : urls)
        cancelDownloadForUrl(url);
    cleanTmpDirectory();
}

QStringList QVDownloadManager::currentDownloads() const {
    QMutexLocker lock(&m_core->mutex);
    QStringList urls;
    for (const auto &entry : m_core->downloads)
        urls.append(entry.first);
    return urls;
}

bool QVDownloadManager::isFileDownloadingForUrl(const QString &url, const ProgressBlock &progress,
                                                const CompletionBlock &completion) {
    std::optional<std::pair<bool, platform::Error>> ended;
    {
        QMutexLocker lock(&m_core->mutex);
        auto it = m_core->downloads.find(url);
        if (it == m_core->downloads.end())
            return false;
        if (it->second.state == QVDownloadObject::Ended && completion) {
            ended = std::make_pair(it->second.endedFinished, it->second.endedError);
            m_core->downloads.erase(it);
        } else {
            it->second.progressBlock = progress;
            it->second.completionBlock = completion;
        }
    }
    if (ended) {
        const auto outcome = *ended;
        platform::dispatchAsyncMain([completion, outcome] { completion(outcome.first, outcome.second); });
    }
    return true;
}

bool QVDownloadManager::isFileDownloadingForUrl(const QString &url, const ProgressBlock &progress) {
    return isFileDownloadingForUrl(url, progress, {});
}

bool QVDownloadManager::fileDownloadCompletedForUrl(const QString &url) const {
    QMutexLocker lock(&m_core->mutex);
    return m_core->downloads.count(url) == 0;
}

QString QVDownloadManager::localPathForFile(const QString &name, const QString &directory) {
    QDir folder(platform::AppPaths::caches());
    if (!directory.isEmpty())
        folder.setPath(folder.filePath(directory));
    return folder.filePath(lastPathComponent(name));
}

QString QVDownloadManager::localPathForFile(const QString &name) {
    return localPathForFile(name, QString());
}

bool QVDownloadManager::fileExistsWithName(const QString &name, const QString &directory) {
    return QFileInfo::exists(localPathForFile(name, directory));
}

bool QVDownloadManager::fileExistsWithName(const QString &name) {
    return fileExistsWithName(name, QString());
}

bool QVDownloadManager::fileExistsForUrl(const QString &url, const QString &directory) {
    return fileExistsWithName(nameFromUrl(url), directory);
}

bool QVDownloadManager::fileExistsForUrl(const QString &url) {
    return fileExistsForUrl(url, QString());
}

bool QVDownloadManager::deleteFileWithName(const QString &name, const QString &directory) {
    const QString path = localPathForFile(name, directory);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    const bool removed =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (!removed) {
        DevLogger::logError(downloadError(WriteFailed, QStringLiteral("Cannot delete the file."), path),
                            QString::fromLatin1(kDeleteErrorMessage));
    }
    return removed;
}

bool QVDownloadManager::deleteFileWithName(const QString &name) {
    return deleteFileWithName(name, QString());
}

bool QVDownloadManager::deleteFileForUrl(const QString &url, const QString &directory) {
    return deleteFileWithName(nameFromUrl(url), directory);
}

bool QVDownloadManager::deleteFileForUrl(const QString &url) {
    return deleteFileForUrl(url, QString());
}

QUrl QVDownloadManager::cachesDirectoryUrlPath() {
    return QUrl::fromLocalFile(platform::AppPaths::caches());
}

std::optional<quint64> QVDownloadManager::remainingTimeForDownload(double elapsedSeconds,
                                                                   qint64 bytesTransferred,
                                                                   qint64 totalBytesExpected) {
    if (elapsedSeconds <= 0 || bytesTransferred <= 0 || totalBytesExpected < bytesTransferred)
        return std::nullopt;
    const double rate = double(bytesTransferred) / elapsedSeconds;
    const double seconds = double(totalBytesExpected - bytesTransferred) / rate;
    if (!std::isfinite(seconds) || seconds >= double(std::numeric_limits<quint64>::max()))
        return std::nullopt;
    return quint64(seconds);
}

bool QVDownloadManager::isCancellation(const platform::Error &error) {
    return !error.isNull() && error.domain() == QLatin1String(kURLErrorDomain) &&
           error.code() == kCancelledCode;
}

void QVDownloadManager::waitForTransferThread() {
    if (m_core->context && m_core->thread.isRunning())
        QMetaObject::invokeMethod(
            m_core->context, [] {}, Qt::BlockingQueuedConnection);
}
