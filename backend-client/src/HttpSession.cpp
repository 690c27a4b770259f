#include "HttpSession.h"

#include <QCoreApplication>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslError>
#include <QTimer>

#include <memory>

namespace merovantia {

const char *const kURLErrorDomain = "NSURLErrorDomain";

namespace {

QMutex g_sessionsMutex;
QList<QThread *> g_threads;

// Stops every session thread before the application object goes away.
void stopSessionThreads() {
    QMutexLocker lock(&g_sessionsMutex);
    for (QThread *thread : std::as_const(g_threads)) {
        thread->quit();
        thread->wait(5000);
    }
    g_threads.clear();
}

platform::Error transportError(QNetworkReply::NetworkError code, const QString &message, const QUrl &url) {
    struct Mapping {
        int code;
        const char *description;
    };
    Mapping mapping{-1, "An unknown error occurred."};
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
        mapping = {-1004, "Could not connect to the server."};
        break;
    case QNetworkReply::HostNotFoundError:
        mapping = {-1003, "A server with the specified hostname could not be found."};
        break;
    case QNetworkReply::TimeoutError:
        mapping = {-1001, "The request timed out."};
        break;
    case QNetworkReply::RemoteHostClosedError:
        mapping = {-1005, "The network connection was lost."};
        break;
    case QNetworkReply::SslHandshakeFailedError:
        mapping = {-1202, "The certificate for this server is invalid."};
        break;
    case QNetworkReply::OperationCanceledError:
        mapping = {-999, "cancelled"};
        break;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        mapping = {-1009, "The Internet connection appears to be offline."};
        break;
    case QNetworkReply::ProtocolUnknownError:
        mapping = {-1002, "unsupported URL"};
        break;
    default:
        break;
    }
    return platform::Error(QString::fromLatin1(kURLErrorDomain), mapping.code,
                           QString::fromLatin1(mapping.description),
                           {{QStringLiteral("NSErrorFailingURLStringKey"), url.toString()},
                            {QStringLiteral("NSDebugDescription"), message}});
}

// A connection lost after the status line leaves a status and part of the body:
// that is a failed exchange, not a reply.
bool brokeOff(QNetworkReply::NetworkError code) {
    return (code != QNetworkReply::NoError && code <= QNetworkReply::UnknownNetworkError) ||
           code == QNetworkReply::ProtocolFailure;
}

} // namespace

QByteArray HttpResult::header(const QByteArray &name) const {
    for (const auto &pair : headers) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return {};
}

platform::Error timeoutError(const QUrl &url) {
    return transportError(QNetworkReply::TimeoutError, QStringLiteral("timed out"), url);
}

HttpSession::HttpSession(const QString &threadName) {
    m_thread.setObjectName(threadName);
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    QMutexLocker lock(&g_sessionsMutex);
    if (g_threads.isEmpty())
        qAddPostRoutine(stopSessionThreads);
    g_threads.append(&m_thread);
}

HttpSession::~HttpSession() {
    {
        QMutexLocker lock(&g_sessionsMutex);
        g_threads.removeAll(&m_thread);
    }
    m_thread.quit();
    m_thread.wait();
}

void HttpSession::start(const QNetworkRequest &request, const QByteArray &verb, const QByteArray &body,
                        HttpTimeouts timeouts, Done done, Progress progress) {
    QMetaObject::invokeMethod(
        m_context,
        [this, request, verb, body, timeouts, done = std::move(done), progress = std::move(progress)] {
            if (!m_manager)
                m_manager = new QNetworkAccessManager(m_context);
            QNetworkReply *reply = m_manager->sendCustomRequest(request, verb, body);
            auto timedOut = std::make_shared<bool>(false);
            auto *idle = new QTimer(reply);
            idle->setSingleShot(true);
            QObject::connect(idle, &QTimer::timeout, reply, [reply, timedOut] {
                *timedOut = true;
                reply->abort();
            });
            idle->start(timeouts.idleMs);
            QTimer::singleShot(timeouts.totalMs, reply, [reply, timedOut] {
                *timedOut = true;
                reply->abort();
            });
            // Requests with a body report how much of it went out; others what came in.
            const bool reportsUpload = !body.isEmpty();
            QObject::connect(reply, &QNetworkReply::uploadProgress, idle,
                             [idle, progress, reportsUpload](qint64 sent, qint64 total) {
                                 idle->start();
                                 if (progress && reportsUpload && total > 0)
                                     progress(sent, total);
                             });
            QObject::connect(reply, &QNetworkReply::downloadProgress, idle,
                             [idle, progress, reportsUpload](qint64 received, qint64 total) {
                                 idle->start();
                                 if (progress && !reportsUpload)
                                     progress(received, total);
                             });
            QObject::connect(
                reply, &QNetworkReply::sslErrors, reply, [reply](const QList<QSslError> &errors) {
                    for (const QSslError &error : errors)
                        qWarning("[network] TLS error for %s: %s", qPrintable(reply->url().host()),
                                 qPrintable(error.errorString()));
                });
            QObject::connect(reply, &QNetworkReply::finished, reply, [reply, timedOut, done] {
                HttpResult result;
                result.url = reply->url();
                const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                if (*timedOut) {
                    result.transportError = timeoutError(reply->url());
                } else if (!status.isValid() || brokeOff(reply->error())) {
                    result.transportError =
                        transportError(reply->error(), reply->errorString(), reply->url());
                } else {
                    result.status = status.toInt();
                    result.body = reply->readAll();
                    result.headers = reply->rawHeaderPairs();
                }
                reply->deleteLater();
                done(result);
            });
        },
        Qt::QueuedConnection);
}

} // namespace merovantia
