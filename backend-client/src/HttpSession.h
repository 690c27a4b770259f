#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QThread>

#include <functional>

class QNetworkAccessManager;

namespace merovantia {

// What came back for one request. A null transportError means the server answered.
struct HttpResult {
    QUrl url;
    int status = 0;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    platform::Error transportError;

    QByteArray header(const QByteArray &name) const;
};

struct HttpTimeouts {
    int idleMs = 30000;  // no byte moved for this long
    int totalMs = 60000; // the whole exchange
};

// One network session on a thread of its own, so replies are read and parsed
// away from the interface thread. Certificates are always verified.
class HttpSession {
public:
    explicit HttpSession(const QString &threadName);
    ~HttpSession();
    HttpSession(const HttpSession &) = delete;
    HttpSession &operator=(const HttpSession &) = delete;

    using Done = std::function<void(const HttpResult &result)>;
    using Progress = std::function<void(qint64 received, qint64 total)>;
    // Callable from any thread; done and progress run on the session's thread.
    // Progress counts the body sent when there is one, else the reply received.
    void start(const QNetworkRequest &request, const QByteArray &verb, const QByteArray &body,
               HttpTimeouts timeouts, Done done, Progress progress = {});

private:
    QThread m_thread;
    QObject *m_context = nullptr;
    QNetworkAccessManager *m_manager = nullptr;
};

// Transport failures in the error domain of the platform the client was designed
// against ("NSURLErrorDomain", -1001 time-out, -1004 cannot connect, -1202 bad certificate...).
extern const char *const kURLErrorDomain;
platform::Error timeoutError(const QUrl &url);

} // namespace merovantia
