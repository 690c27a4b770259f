#include "services/documents/QVWebSocketManager.h"
#include "services/documents/QVDocumentSocket.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/settings/QVSettingsService.h"

#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "platform/MainQueue.h"

#include <merovantia/MFHTTPSessionManager.h>
#include <merovantia/MFURLError.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSet>
#include <QTextBoundaryFinder>
#include <QThreadPool>
#include <QUuid>

#include <stdexcept>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char *const kDidReceiveMessage = "webSocket:didReceiveMessage:";
const char *const kDidFailWithError = "webSocket:didFailWithError:";
// Characters a URL query may hold unencoded, besides letters, digits and "-._~".
const QByteArray kQueryAllowed = "!$&'()*+,/:;=?@";
constexpr int kMaxFileNameBytes = 255;

platform::Error jobError(QVWebSocketManager::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVWebSocketManager::kErrorDomain), code, description);
}

// A JSON string literal with its quotes.
QString jsonString(const QString &value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Transport failures keep the codes callers already tell apart for HTTP requests.
qint64 urlErrorCode(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return MFURLErrorCannotConnectToHost;
    case QAbstractSocket::HostNotFoundError:
        return MFURLErrorCannotFindHost;
    case QAbstractSocket::RemoteHostClosedError:
        return MFURLErrorNetworkConnectionLost;
    case QAbstractSocket::SocketTimeoutError:
        return MFURLErrorTimedOut;
    case QAbstractSocket::SslHandshakeFailedError:
        return MFURLErrorServerCertificateUntrusted;
    default:
        return MFURLErrorUnknown;
    }
}

// The document download: a plain GET, without the API's common fields.
class PlainDownloader : public MFHTTPSessionManager {
public:
    PlainDownloader() : MFHTTPSessionManager([] { return QUrl(); }) {
        setResourceTimeoutInterval(QVWebSocketManager::kDownloadDeadlineMs);
        // Any type of document; a failed status is an error that names it.
        setResponseSerializer(std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{}));
    }
    QVariantMap parametersWithCommonParametersFromDictionary(const QVariantMap &parameters) const override {
        return parameters;
    }
    QString urlStringWithCommonQueryItemsWithURLString(const QString &urlString) const override {
        return urlString;
    }
};

// The text without its last character (grapheme cluster).
QString withoutLastCharacter(const QString &text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return text.left(previous > 0 ? previous : 0);
}

// Renames without following or replacing anything at `to`: 0, or the errno.
int moveWithoutReplacing(const QString &from, const QString &to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the flag: a hard link never replaces either.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    ::unlink(source.constData());
    return 0;
}

// Moves the finished download to `name` in `folder`, or to "base (n).ext" when that
// name is taken; the path it took, or empty.
QString moveToFreeName(const QString &temporaryPath, const QString &folder, const QString &name) {
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    QDir dir(folder);
    for (int n = 0; n < 10000; ++n) {
        const QString candidate = n == 0 ? name
                                         : QStringLiteral("%1 (%2)%3")
                                               .arg(base)
                                               .arg(n)
                                               .arg(suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
        const QString path = dir.filePath(candidate);
        // Any entry takes the name, a dangling link too: nothing is written through it, and
        // nothing is replaced, also when the name was taken meanwhile.
        const int moved = moveWithoutReplacing(temporaryPath, path);
        if (moved == 0)
            return path;
        if (moved != EEXIST)
            return {};
    }
    return {};
}

} // namespace

QVWebSocketManager &QVWebSocketManager::sharedInstance() {
    static QVWebSocketManager *manager = new QVWebSocketManager; // lives for the whole process
    return *manager;
}

QVWebSocketManager::QVWebSocketManager(QObject *parent) : QObject(parent) {
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, [this] {
        const platform::Error error(QString::fromLatin1(kMFURLErrorDomain), MFURLErrorTimedOut,
                                    QStringLiteral("The document service did not answer in time"));
        DevLogger::logError(error, QString::fromLatin1(kDidFailWithError));
        failJob(error);
    });
}

QVWebSocketManager::~QVWebSocketManager() {
    m_progressBlock = nullptr;
    m_successBlock = nullptr;
    m_failureBlock = nullptr;
    dropSocket();
}

void QVWebSocketManager::translateFileWithUrl(const QUrl &fileUrl, const QString &fileName,
                                              const QString &type, const QString &translateLimit,
                                              ProgressBlock progress, SuccessBlock success,
                                              FailureBlock failure) {
    translateFileWithUrl(fileUrl, fileName, type, translateLimit, QVSettingsService::languageFrom(),
                         QVSettingsService::languageTo(), QString::fromLatin1(kPlatform), std::move(progress),
                         std::move(success), std::move(failure));
}

void QVWebSocketManager::translateFileWithUrl(const QUrl &fileUrl, const QString &fileName,
                                              const QString &type, const QString &translateLimit,
                                              const QString &fromLanguage, const QString &toLanguage,
                                              const QString & /*platform*/, ProgressBlock progress,
                                              SuccessBlock success, FailureBlock failure) {
    // The socket of an earlier job still carries that job's frames: it is never reused.
    if (hasJob())
        failJob(jobError(Superseded, QStringLiteral("Another document translation was started")));
    resetData();

    ++m_job;
    m_progressBlock = std::move(progress);
    m_successBlock = std::move(success);
    m_failureBlock = std::move(failure);
    m_fileUrl = fileUrl;
    m_fileType = type;
    m_translateLimit = translateLimit;
    m_fromLanguage = fromLanguage;
    m_toLanguage = toLanguage;
    m_fileName = fileName;
    createSocket();
}

void QVWebSocketManager::createSocket() {
    const quint64 job = m_job;
    // The socket's module loads off this thread the first time, and answers later in any case
    // (never inside the caller's call: its blocks may not be set up yet); the job may be over by then.
    QVDocumentSocket::createWhenLoaded(
        kMaxIncomingMessageBytes, this, [this, job](QVDocumentSocket *socket, const QString &moduleError) {
            if (job != m_job) {
                delete socket;
                return;
            }
            if (!socket) {
                failJob(jobError(RequestNotBuilt,
                                 QStringLiteral("The document could not be sent: %1").arg(moduleError)));
                return;
            }
            openSocket(socket);
        });
}

void QVWebSocketManager::openSocket(QVDocumentSocket *socket) {
    QUrl url = platform::BackendConfig::documentSocketHost();
    url.setPath(url.path() + QString::fromLatin1(kSocketPath));
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", kAuthorization);

    const quint64 job = m_job;
    m_webSocket = socket;
    connect(socket, &QVDocumentSocket::connected, this, [this, job] {
        if (job != m_job)
            return;
        m_openTimer.stop();
        // A job without a document fails here rather than waiting on an open socket.
        if (hasJob())
            sendData();
    });
    connect(socket, &QVDocumentSocket::textMessageReceived, this, [this, job](const QString &message) {
        if (job == m_job)
            onTextMessage(message);
    });
    connect(socket, &QVDocumentSocket::errorOccurred, this, [this, job] {
        if (job == m_job)
            onSocketError();
    });
    connect(socket, &QVDocumentSocket::disconnected, this, [this, job] {
        if (job == m_job)
            onSocketClosed();
    });
    m_openTimer.start(m_openTimeoutMs);
    socket->open(request);
}

bool QVWebSocketManager::clientFrame(const QString &filePath, const QString &fileName,
                                     const QString &fileType, const QString &translateLimit,
                                     const QString &from, const QString &to, QString *frame,
                                     QString *problem) {
    frame->clear();
    const QList<QPair<const char *, const QString *>> values = {
        {"fileName", &fileName},
        {"extension", &fileType},
        {"translateLimit", &translateLimit},
        {"from", &from},
        {"to", &to},
    };
    for (const auto &[key, value] : values) {
        if (value->isNull()) {
            *problem = QStringLiteral("no %1").arg(QString::fromLatin1(key));
            return false;
        }
    }
    QFile file(filePath);
    if (filePath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("the document cannot be read");
        return false;
    }
    // Base64 needs no escaping: it goes into the text as it is.
    const QByteArray image = file.readAll().toBase64();
    if (file.error() != QFileDevice::NoError) {
        *problem = QStringLiteral("the document cannot be read");
        return false;
    }
    frame->reserve(image.size() + 512);
    *frame += QStringLiteral("{\"image\":\"");
    *frame += QString::fromLatin1(image);
    *frame += QStringLiteral("\",\"fileName\":") + jsonString(fileName + QLatin1Char('.') + fileType);
    *frame += QStringLiteral(",\"extension\":") + jsonString(fileType);
    *frame += QStringLiteral(",\"translateLimit\":") + jsonString(translateLimit);
    *frame += QStringLiteral(",\"from\":") + jsonString(from);
    *frame += QStringLiteral(",\"to\":") + jsonString(to);
    *frame += QStringLiteral(",\"platform\":") + jsonString(QString::fromLatin1(kPlatform));
    *frame += QLatin1Char('}');
    return true;
}

void QVWebSocketManager::sendData() {
    // Reading and encoding a large document takes a while: it happens on a worker, and
    // the frame goes out only if the job is still the same when it is ready.
    const quint64 job = m_job;
    QPointer<QVWebSocketManager> self(this);
    const QString path = m_fileUrl.toLocalFile();
    const QString fileName = m_fileName, fileType = m_fileType, limit = m_translateLimit;
    const QString from = m_fromLanguage, to = m_toLanguage;
    QThreadPool::globalInstance()->start([self, job, path, fileName, fileType, limit, from, to] {
        auto frame = std::make_shared<QString>();
        QString problem;
        const bool built = clientFrame(path, fileName, fileType, limit, from, to, frame.get(), &problem);
        platform::dispatchAsyncMain([self, job, built, frame, problem] {
            if (!self || job != self->m_job)
                return;
            if (!built) {
                DevLogger::logException(std::runtime_error(problem.toStdString()),
                                        QString::fromLatin1(kBuildFailedMessage));
                self->failJob(jobError(RequestNotBuilt,
                                       QStringLiteral("The document could not be sent: %1").arg(problem)));
                return;
            }
            if (self->m_webSocket)
                self->m_webSocket->sendTextMessage(*frame);
        });
    });
}

void QVWebSocketManager::onTextMessage(const QString &message) {
    const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8());
    if (!document.isObject()) {
        // Other text is ignored, but a final frame that cannot be read would leave the job waiting for ever.
        if (!m_downloading && message.contains(QLatin1String("\"finalResponse\""))) {
            DevLog(QString::fromLatin1(kUnexpectedFormatLine), message,
                   QString::fromLatin1(kDidReceiveMessage));
            failJob(jobError(UnexpectedResponse,
                             QStringLiteral("The document service sent an unreadable result")));
        }
        return;
    }
    const QVariantMap frame = document.object().toVariantMap();
    const QString type = frame.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("progressLog")) {
        const QVariant result = frame.value(QStringLiteral("result"));
        if (m_progressBlock && !m_downloading && result.typeId() == QMetaType::QVariantMap)
            m_progressBlock(result.toMap().value(QStringLiteral("data")));
    } else if (type == QLatin1String("finalResponse") && !m_downloading) {
        onFinalResponse(frame.value(QStringLiteral("result")));
    }
}

QString QVWebSocketManager::resultPath(const QString &result) {
    const QStringList parts = result.split(QLatin1Char('/'));
    if (parts.size() < 2)
        return {};
    return parts.at(1).split(QLatin1Char('\n')).first();
}

QUrl QVWebSocketManager::downloadURL(const QString &path) {
    const QString address =
        platform::BackendConfig::apiHost().toString() + QString::fromLatin1(kStaticPath) + path;
    return QUrl::fromEncoded(QUrl::toPercentEncoding(address, kQueryAllowed), QUrl::StrictMode);
}

void QVWebSocketManager::onFinalResponse(const QVariant &result) {
    const QString text = result.typeId() == QMetaType::QString ? result.toString() : QString();
    const QString path = resultPath(text);
    const QUrl url = path.isEmpty() ? QUrl() : downloadURL(path);
    if (!url.isValid()) {
        DevLog(QString::fromLatin1(kUnexpectedFormatLine), result, QString::fromLatin1(kDidReceiveMessage));
        failJob(jobError(UnexpectedResponse, QStringLiteral("The document service sent no translated file")));
        return;
    }
    startDownload(url);
}

void QVWebSocketManager::startDownload(const QUrl &url) {
    const QString folder = platform::AppPaths::ensure(platform::AppPaths::documents());
    const QString temporaryPath = QDir(folder).filePath(
        QStringLiteral(".quorvalde-%1.download").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    if (!m_downloader)
        m_downloader = std::make_unique<PlainDownloader>();
    m_downloading = true;
    const quint64 job = m_job;
    QPointer<QVWebSocketManager> self(this);
    m_downloadTask = m_downloader->download(
        url.toString(QUrl::FullyEncoded), QVariant(), temporaryPath, {},
        [self, job, temporaryPath](const MFURLSessionTaskPtr &task, const QVariant &) {
            if (self)
                self->onDownloaded(job, task, temporaryPath);
            else
                QFile::remove(temporaryPath);
        },
        [self, job](const MFURLSessionTaskPtr &, const platform::Error &error) {
            if (self && job == self->m_job)
                self->failJob(error);
        });
}

void QVWebSocketManager::onDownloaded(quint64 job, const MFURLSessionTaskPtr &task,
                                      const QString &temporaryPath) {
    if (job != m_job) {
        QFile::remove(temporaryPath);
        return;
    }
    const QString folder = QFileInfo(temporaryPath).absolutePath();
    const QString name = safeFileName(suggestedFileName(task->response), QStringLiteral("document"));
    const QString path = moveToFreeName(temporaryPath, folder, name);
    if (path.isEmpty()) {
        QFile::remove(temporaryPath);
        failJob(jobError(SaveFailed,
                         QStringLiteral("The translated document could not be saved in %1").arg(folder)));
        return;
    }
    succeedJob(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

QString QVWebSocketManager::suggestedFileName(const MFHTTPResponse &response) {
    const QString disposition = QString::fromUtf8(response.header("Content-Disposition"));
    // RFC 6266: filename* (percent-encoded UTF-8) wins over filename.
    static const QRegularExpression extended(QStringLiteral("filename\\*\\s*=\\s*([^;]+)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression plain(QStringLiteral("filename\\s*=\\s*(\"([^\"]*)\"|[^;]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch ext = extended.match(disposition);
    if (ext.hasMatch()) {
        const QString value = ext.captured(1).trimmed();
        const int quote = value.indexOf(QStringLiteral("''"));
        if (quote >= 0) {
            const QString name = QUrl::fromPercentEncoding(value.mid(quote + 2).toUtf8());
            if (!name.isEmpty())
                return name;
        }
    }
    const QRegularExpressionMatch match = plain.match(disposition);
    if (match.hasMatch()) {
        const QString name = match.captured(2).isNull() ? match.captured(1).trimmed() : match.captured(2);
        if (!name.isEmpty())
            return name;
    }
    return QUrl::fromPercentEncoding(
        response.url.path(QUrl::FullyEncoded).section(QLatin1Char('/'), -1).toUtf8());
}

QString QVWebSocketManager::safeFileName(const QString &suggested, const QString &fallback) {
    // Only the last part of anything that looks like a path, in either separator.
    QString name = suggested.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
    name.remove(QRegularExpression(QStringLiteral("\\p{Cc}")));
    name = name.trimmed();
    // No hidden files, and neither "." nor "..".
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name = name.trimmed();
    if (name.isEmpty())
        return fallback;
    // Measured as the file system gets it, and cut by whole characters: half a
    // surrogate pair would be written as a longer replacement character.
    while (QFile::encodeName(name).size() > kMaxFileNameBytes) {
        const QString suffix = QFileInfo(name).suffix();
        const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
        const QString shorter = withoutLastCharacter(base);
        name = shorter.isEmpty() || suffix.isEmpty() ? withoutLastCharacter(name)
                                                     : shorter + QLatin1Char('.') + suffix;
    }
    return name;
}

QString QVWebSocketManager::copyToFreeName(const QString &source, const QString &folder,
                                           platform::Error *error) {
    // First under a name of our own, so that the free name is taken in one step.
    const QString staging = QDir(folder).filePath(
        QStringLiteral(".quorvalde-%1.copy").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    QFile file(source);
    if (!file.copy(staging)) {
        if (error)
            *error = jobError(SaveFailed, QStringLiteral("%1 could not be copied to %2: %3")
                                              .arg(QFileInfo(source).fileName(), folder, file.errorString()));
        return {};
    }
    const QString name = safeFileName(QFileInfo(source).fileName(), QStringLiteral("document"));
    const QString path = moveToFreeName(staging, folder, name);
    if (path.isEmpty()) {
        QFile::remove(staging);
        if (error)
            *error = jobError(
                SaveFailed,
                QStringLiteral("%1 could not be copied to %2").arg(QFileInfo(source).fileName(), folder));
    }
    return path;
}

void QVWebSocketManager::onSocketError() {
    if (m_downloading) {
        // The result has arrived: the socket is no longer needed.
        dropSocket();
        return;
    }
    const QAbstractSocket::SocketError code =
        m_webSocket ? m_webSocket->error() : QAbstractSocket::UnknownSocketError;
    const platform::Error error(QString::fromLatin1(kMFURLErrorDomain), urlErrorCode(code),
                                m_webSocket ? m_webSocket->errorString() : QStringLiteral("socket error"));
    DevLogger::logError(error, QString::fromLatin1(kDidFailWithError));
    failJob(error);
}

void QVWebSocketManager::onSocketClosed() {
    if (m_downloading) {
        dropSocket();
        return;
    }
    // The socket itself closes on a message over the size limit.
    if (m_webSocket && m_webSocket->closedOnTooMuchData()) {
        const platform::Error error =
            jobError(MessageTooLarge, QStringLiteral("The document service sent a message over %1 bytes")
                                          .arg(kMaxIncomingMessageBytes));
        DevLogger::logError(error, QString::fromLatin1(kDidFailWithError));
        failJob(error);
        return;
    }
    // A socket that could not connect reports its error after the close.
    if (m_webSocket && m_webSocket->error() != QAbstractSocket::UnknownSocketError) {
        onSocketError();
        return;
    }
    if (hasJob())
        failJob(jobError(ClosedBeforeResult,
                         QStringLiteral("The document service closed the connection before the result")));
    else
        resetData();
}

void QVWebSocketManager::failJob(const platform::Error &error) {
    const FailureBlock failure = m_failureBlock;
    resetData();
    if (failure)
        failure(error);
}

void QVWebSocketManager::succeedJob(const QString &fileURL) {
    const SuccessBlock success = m_successBlock;
    resetData();
    if (success)
        success(fileURL);
}

void QVWebSocketManager::dropSocket() {
    m_openTimer.stop();
    if (!m_webSocket)
        return;
    QVDocumentSocket *socket = m_webSocket;
    m_webSocket = nullptr;
    socket->disconnect(this);
    socket->close();
    socket->deleteLater();
}

void QVWebSocketManager::resetData() {
    // A new number first: events of the old job that are already queued are ignored.
    ++m_job;
    m_progressBlock = nullptr;
    m_successBlock = nullptr;
    m_failureBlock = nullptr;
    m_fileUrl.clear();
    m_fileType.clear();
    m_translateLimit.clear();
    m_fromLanguage.clear();
    m_toLanguage.clear();
    m_fileName.clear();
    m_downloading = false;
    if (m_downloadTask && m_downloader)
        m_downloader->cancel(m_downloadTask);
    m_downloadTask.reset();
    dropSocket();
}
