#include "HttpSession.h"

#include "platform/BackendNetworkAccess.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QSslError>
#include <QTimer>

#include <deque>
#include <map>
#include <memory>

const char *const kMFURLErrorDomain = "NSURLErrorDomain";

namespace merovantia {

namespace {

constexpr qint64 kReadAheadBytes = 1024 * 1024;
constexpr int kMaxRedirects = 10;

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

const char *descriptionOf(int code) {
    switch (code) {
    case MFURLErrorCancelled:
        return "cancelled";
    case MFURLErrorTimedOut:
        return "The request timed out.";
    case MFURLErrorUnsupportedURL:
        return "unsupported URL";
    case MFURLErrorCannotFindHost:
        return "A server with the specified hostname could not be found.";
    case MFURLErrorCannotConnectToHost:
        return "Could not connect to the server.";
    case MFURLErrorNetworkConnectionLost:
        return "The network connection was lost.";
    case MFURLErrorHTTPTooManyRedirects:
        return "too many HTTP redirects";
    case MFURLErrorNotConnectedToInternet:
        return "The Internet connection appears to be offline.";
    case MFURLErrorRedirectRefused:
        return "The server redirected the request to another host; the redirect was not followed.";
    case MFURLErrorBadServerResponse:
        return "The server returned an invalid status.";
    case MFURLErrorCannotParseResponse:
        return "The server's reply could not be parsed.";
    case MFURLErrorInsecureRedirect:
        return "The server redirected a secure request to an insecure address; the redirect was not "
               "followed.";
    case MFURLErrorDataLengthExceedsMaximum:
        return "The reply is larger than the 32 MB the client accepts.";
    case MFURLErrorServerCertificateUntrusted:
        return "The certificate for this server is invalid.";
    case MFURLErrorCannotWriteToFile:
        return "The downloaded file could not be written.";
    default:
        return "An unknown error occurred.";
    }
}

int codeOf(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return MFURLErrorCannotConnectToHost;
    case QNetworkReply::HostNotFoundError:
        return MFURLErrorCannotFindHost;
    case QNetworkReply::TimeoutError:
        return MFURLErrorTimedOut;
    case QNetworkReply::RemoteHostClosedError:
        return MFURLErrorNetworkConnectionLost;
    case QNetworkReply::SslHandshakeFailedError:
        return MFURLErrorServerCertificateUntrusted;
    case QNetworkReply::OperationCanceledError:
        return MFURLErrorCancelled;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return MFURLErrorNotConnectedToInternet;
    case QNetworkReply::TooManyRedirectsError:
        return MFURLErrorHTTPTooManyRedirects;
    case QNetworkReply::InsecureRedirectError:
        return MFURLErrorInsecureRedirect;
    case QNetworkReply::ProtocolUnknownError:
        return MFURLErrorUnsupportedURL;
    case QNetworkReply::ProtocolFailure:
        return MFURLErrorCannotParseResponse;
    default:
        return MFURLErrorUnknown;
    }
}

// A connection lost after the status line leaves a status and part of the body:
// that is a failed exchange, not a reply.
bool brokeOff(QNetworkReply::NetworkError code) {
    return (code != QNetworkReply::NoError && code <= QNetworkReply::UnknownNetworkError) ||
           code == QNetworkReply::ProtocolFailure;
}

int defaultPort(const QString &scheme) {
    return scheme == QLatin1String("https") ? 443 : 80;
}

QString originOf(const QUrl &url) {
    return QStringLiteral("%1://%2:%3")
        .arg(url.scheme().toLower(), url.host().toLower())
        .arg(url.port(defaultPort(url.scheme().toLower())));
}

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

platform::Error urlError(int code, const QUrl &url, const QString &detail) {
    QVariantMap info{{QStringLiteral("NSErrorFailingURLStringKey"), url.toString()}};
    if (!detail.isEmpty())
        info.insert(QStringLiteral("NSDebugDescription"), detail);
    return platform::Error(QString::fromLatin1(kMFURLErrorDomain), code,
                           QString::fromUtf8(descriptionOf(code)), info);
}

QByteArray HttpResult::header(const QByteArray &name) const {
    for (const auto &pair : headers) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return {};
}

// Lives on the session's thread; every member is touched there only.
class HttpSession::Core : public QObject {
public:
    struct Pending {
        RequestId id = 0;
        QNetworkRequest request;
        QByteArray verb;
        QByteArray body;
        HttpOptions options;
        Done done;
        Progress progress;
        QString origin;

        QNetworkReply *reply = nullptr; // null while waiting for a connection
        QObject *clock = nullptr;       // owns the timers, from launch to the end
        QTimer *idle = nullptr;
        int redirects = 0;
        int failure = 0; // the error code the request was aborted with, 0 while none
        QString failureDetail;
        bool bodyDecided = false;
        std::unique_ptr<QSaveFile> file; // streaming mode, 2xx replies only
        QByteArray received;
        qint64 bytesReceived = 0;
    };

    void submit(std::shared_ptr<Pending> pending) {
        if (m_closing) {
            finishWith(*pending, urlError(MFURLErrorCancelled, pending->request.url()));
            return;
        }
        m_pending[pending->id] = pending;
        m_waiting[pending->origin].push_back(pending->id);
        pump(pending->origin);
    }

    void cancel(RequestId id) {
        if (const auto p = find(id))
            abortWith(*p, MFURLErrorCancelled);
    }

    void cancelAll() {
        m_closing = true;
        std::vector<RequestId> ids;
        for (const auto &entry : m_pending)
            ids.push_back(entry.first);
        for (RequestId id : ids)
            cancel(id);
    }

private:
    std::shared_ptr<Pending> find(RequestId id) const {
        const auto it = m_pending.find(id);
        return it == m_pending.end() ? nullptr : it->second;
    }

    QNetworkAccessManager &manager() {
        if (!m_manager) {
            m_manager = new platform::BackendNetworkAccess(this);
            m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        }
        return *m_manager;
    }

    void pump(const QString &origin) {
        auto &waiting = m_waiting[origin];
        while (!m_closing && !waiting.empty() && m_active.value(origin) < kMaxConnectionsPerOrigin) {
            const RequestId id = waiting.front();
            waiting.pop_front();
            if (const auto p = find(id))
                launch(*p);
        }
    }

    QNetworkReply *send(const Pending &p) {
        if (p.verb == "GET" && p.body.isEmpty())
            return manager().get(p.request);
        if (p.verb == "POST")
            return manager().post(p.request, p.body);
        if (p.verb == "PUT")
            return manager().put(p.request, p.body);
        if (p.verb == "DELETE" && p.body.isEmpty())
            return manager().deleteResource(p.request);
        if (p.verb == "HEAD")
            return manager().head(p.request);
        return manager().sendCustomRequest(p.request, p.verb, p.body);
    }

    void launch(Pending &p) {
        const RequestId id = p.id;
        ++m_active[p.origin];
        // The clocks start now: the request has a connection of its own.
        p.clock = new QObject(this);
        p.idle = new QTimer(p.clock);
        p.idle->setSingleShot(true);
        connect(p.idle, &QTimer::timeout, this, [this, id] { abortWith(id, MFURLErrorTimedOut); });
        p.idle->start(p.options.idleMs);
        auto *deadline = new QTimer(p.clock);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, this, [this, id] { abortWith(id, MFURLErrorTimedOut); });
        deadline->start(p.options.totalMs);
        transmit(p);
    }

    void transmit(Pending &p) {
        const RequestId id = p.id;
        // Redirects are followed here, not by Qt: its own following loses POST replies
        // after a 307, and every hop must be checked against the origin first.
        p.request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                               QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply *reply = send(p);
        // Qt's network thread reads ahead only this far: memory stays bounded and a reply
        // over the cap is stopped near it, not after all the server could send.
        reply->setReadBufferSize(kReadAheadBytes);
        p.reply = reply;
        p.received.clear();
        p.bytesReceived = 0;
        p.bodyDecided = false;

        connect(reply, &QNetworkReply::metaDataChanged, this, [this, id] { onMetaData(id); });
        connect(reply, &QNetworkReply::readyRead, this, [this, id] {
            if (const auto p = find(id))
                consume(*p);
        });
        const bool reportsUpload = !p.body.isEmpty();
        connect(reply, &QNetworkReply::uploadProgress, this,
                [this, id, reportsUpload](qint64 sent, qint64 total) {
                    const auto p = find(id);
                    if (!p)
                        return;
                    p->idle->start();
                    if (p->progress && reportsUpload && total > 0)
                        p->progress(sent, total);
                });
        connect(reply, &QNetworkReply::downloadProgress, this,
                [this, id, reportsUpload](qint64 received, qint64 total) {
                    const auto p = find(id);
                    if (!p || isRedirect(*p->reply))
                        return;
                    p->idle->start();
                    if (p->progress && !reportsUpload)
                        p->progress(received, total);
                });
        connect(reply, &QNetworkReply::sslErrors, this, [reply](const QList<QSslError> &errors) {
            for (const QSslError &error : errors)
                qWarning("[network] TLS error for %s: %s", qPrintable(reply->url().host()),
                         qPrintable(error.errorString()));
        });
        connect(reply, &QNetworkReply::finished, this, [this, id] { onFinished(id); });
    }

    static bool isRedirect(const QNetworkReply &reply) {
        return isRedirectStatus(reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()) &&
               reply.attribute(QNetworkRequest::RedirectionTargetAttribute).isValid();
    }

    // Credentials and bodies stay with the origin they were meant for. True when followed.
    bool follow(Pending &p) {
        QNetworkReply *reply = p.reply;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl from = reply->url();
        const QUrl to = from.resolved(reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
        if (from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
            to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
            finishWith(p, urlError(MFURLErrorInsecureRedirect, p.request.url(), to.toString()));
            return false;
        }
        if (!to.isValid() || originOf(to) != p.origin) {
            finishWith(p, urlError(MFURLErrorRedirectRefused, p.request.url(), to.toString()));
            return false;
        }
        if (++p.redirects > kMaxRedirects) {
            finishWith(p, urlError(MFURLErrorHTTPTooManyRedirects, p.request.url(), to.toString()));
            return false;
        }
        // As browsers do: 303, and 301/302 after a POST, continue as a GET without the body.
        if (status == 303 || ((status == 301 || status == 302) && p.verb == "POST")) {
            p.verb = "GET";
            p.body.clear();
            p.request.setHeader(QNetworkRequest::ContentTypeHeader, QVariant());
        }
        p.request.setUrl(to);
        reply->disconnect(this);
        reply->deleteLater();
        p.idle->start();
        transmit(p);
        return true;
    }

    // A declared length over the cap fails before any of the body is read.
    void onMetaData(RequestId id) {
        const auto p = find(id);
        if (!p || !p->reply)
            return;
        const int status = p->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (isRedirect(*p->reply) || streamsToFile(*p, status))
            return;
        bool known = false;
        const qint64 length = p->reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > p->options.maxBodyBytes)
            abortWith(*p, MFURLErrorDataLengthExceedsMaximum,
                      QStringLiteral("Content-Length %1").arg(length));
    }

    static bool streamsToFile(const Pending &p, int status) {
        return !p.options.bodyFile.isEmpty() && status >= 200 && status < 300;
    }

    // Moves what arrived out of Qt's buffer into memory (capped) or the download file.
    void consume(Pending &p) {
        QNetworkReply *reply = p.reply;
        if (p.failure || !reply)
            return;
        if (isRedirect(*reply)) {
            reply->readAll(); // the body of a redirect is nobody's reply
            return;
        }
        if (!p.bodyDecided) {
            p.bodyDecided = true;
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (streamsToFile(p, status)) {
                p.file = std::make_unique<QSaveFile>(p.options.bodyFile);
                if (!p.file->open(QIODevice::WriteOnly)) {
                    abortWith(p, MFURLErrorCannotWriteToFile, p.file->errorString());
                    return;
                }
            }
        }
        while (reply->bytesAvailable() > 0) {
            const QByteArray chunk = reply->read(qMin<qint64>(reply->bytesAvailable(), 1 << 20));
            if (chunk.isEmpty())
                break;
            p.bytesReceived += chunk.size();
            if (p.file) {
                if (p.file->write(chunk) != chunk.size()) {
                    abortWith(p, MFURLErrorCannotWriteToFile, p.file->errorString());
                    return;
                }
            } else if (p.received.size() + chunk.size() > p.options.maxBodyBytes) {
                abortWith(p, MFURLErrorDataLengthExceedsMaximum,
                          QStringLiteral("more than %1 bytes").arg(p.options.maxBodyBytes));
                return;
            } else {
                p.received += chunk;
            }
        }
        if (p.idle)
            p.idle->start();
    }

    void abortWith(RequestId id, int code) {
        if (const auto p = find(id))
            abortWith(*p, code);
    }

    void abortWith(Pending &p, int code, const QString &detail = {}) {
        if (p.failure)
            return;
        p.failure = code;
        p.failureDetail = detail;
        const RequestId id = p.id;
        if (p.reply)
            p.reply->abort(); // finishes the reply, which ends the request
        // A reply that had already finished (or none, while waiting) ends it here.
        if (const auto still = find(id))
            finishWith(*still, urlError(code, still->request.url(), detail));
    }

    void onFinished(RequestId id) {
        const auto p = find(id);
        if (!p)
            return;
        QNetworkReply *reply = p->reply;
        if (!p->failure) {
            consume(*p);
            // A failure met while reading the last bytes has ended the request already.
            if (!find(id))
                return;
        }
        if (p->failure) {
            finishWith(*p, urlError(p->failure, p->request.url(), p->failureDetail));
            return;
        }
        HttpResult result;
        result.url = reply->url();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid() || brokeOff(reply->error())) {
            finishWith(*p, urlError(codeOf(reply->error()), reply->url(), reply->errorString()));
            return;
        }
        if (isRedirect(*reply)) {
            follow(*p);
            return;
        }
        result.status = status.toInt();
        result.headers = reply->rawHeaderPairs();
        if (result.status < 100 || result.status > 599) {
            finishWith(*p, urlError(MFURLErrorBadServerResponse, reply->url(),
                                    QStringLiteral("status %1").arg(status.toString())));
            return;
        }
        // Qt reads an unparsable chunk size as the last chunk: a chunked reply that ends
        // before any byte of body is broken framing, not an empty answer.
        const bool chunked = reply->rawHeader("Transfer-Encoding").toLower().contains("chunked");
        if (chunked && p->bytesReceived == 0 && result.status != 204 && result.status != 205 &&
            result.status != 304 && p->verb != "HEAD") {
            finishWith(*p, urlError(MFURLErrorCannotParseResponse, reply->url(),
                                    QStringLiteral("chunked reply without a body")));
            return;
        }
        if (!p->bodyDecided && streamsToFile(*p, result.status)) {
            // An empty download still replaces the file.
            p->bodyDecided = true;
            p->file = std::make_unique<QSaveFile>(p->options.bodyFile);
            if (!p->file->open(QIODevice::WriteOnly)) {
                finishWith(*p, urlError(MFURLErrorCannotWriteToFile, reply->url(), p->file->errorString()));
                return;
            }
        }
        if (p->file) {
            if (!p->file->commit()) {
                finishWith(*p, urlError(MFURLErrorCannotWriteToFile, reply->url(), p->file->errorString()));
                return;
            }
            p->file.reset();
            result.bodyFile = p->options.bodyFile;
        } else {
            result.body = std::move(p->received);
        }
        finish(*p, result);
    }

    void finishWith(Pending &p, const platform::Error &error) {
        HttpResult result;
        result.url = p.reply ? p.reply->url() : p.request.url();
        result.transportError = error;
        finish(p, result);
    }

    // The one way out of a request: its done callback runs once, then the queue moves on.
    void finish(Pending &p, const HttpResult &result) {
        const RequestId id = p.id;
        const QString origin = p.origin;
        Done done = std::move(p.done);
        if (p.file)
            p.file->cancelWriting();
        if (p.clock)
            p.clock->deleteLater();
        if (QNetworkReply *reply = p.reply) {
            reply->disconnect(this);
            reply->deleteLater();
            --m_active[origin];
        } else {
            auto &waiting = m_waiting[origin];
            waiting.erase(std::remove(waiting.begin(), waiting.end(), id), waiting.end());
        }
        m_pending.erase(id); // p is gone from here on
        try {
            if (done)
                done(result);
        } catch (...) {
            qWarning("[network] a completion handler threw");
        }
        pump(origin);
    }

    QNetworkAccessManager *m_manager = nullptr;
    std::map<RequestId, std::shared_ptr<Pending>> m_pending;
    QHash<QString, std::deque<RequestId>> m_waiting;
    QHash<QString, int> m_active;
    bool m_closing = false;
};

HttpSession::HttpSession(const QString &threadName) {
    m_thread.setObjectName(threadName);
    m_core = new Core;
    m_core->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_core, &QObject::deleteLater);
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
    if (m_thread.isRunning()) {
        Core *core = m_core;
        QMetaObject::invokeMethod(
            core,
            [core] {
                core->cancelAll();
                delete core;
            },
            Qt::BlockingQueuedConnection);
    }
    m_thread.quit();
    m_thread.wait();
}

void HttpSession::start(RequestId id, const QNetworkRequest &request, const QByteArray &verb,
                        const QByteArray &body, const HttpOptions &options, Done done, Progress progress) {
    auto pending = std::make_shared<Core::Pending>();
    pending->id = id;
    pending->request = request;
    pending->verb = verb;
    pending->body = body;
    pending->options = options;
    pending->done = std::move(done);
    pending->progress = std::move(progress);
    pending->origin = originOf(request.url());
    Core *core = m_core;
    QMetaObject::invokeMethod(
        core, [core, pending] { core->submit(pending); }, Qt::QueuedConnection);
}

void HttpSession::cancel(RequestId id) {
    Core *core = m_core;
    QMetaObject::invokeMethod(
        core, [core, id] { core->cancel(id); }, Qt::QueuedConnection);
}

} // namespace merovantia
