#pragma once

#include <merovantia/MFURLError.h>

#include "platform/Error.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QThread>

#include <functional>

namespace merovantia {

// What came back for one request. A null transportError means the server answered.
struct HttpResult {
    QUrl url;
    int status = 0;
    QByteArray body;  // empty when the body went to a file
    QString bodyFile; // the file written, in streaming mode
    QList<QPair<QByteArray, QByteArray>> headers;
    platform::Error transportError;

    QByteArray header(const QByteArray &name) const;
};

struct HttpOptions {
    // Both clocks start when the request goes out, not while it waits for a connection.
    int idleMs = 30000;                     // no byte moved for this long
    int totalMs = 60000;                    // the whole exchange
    qint64 maxBodyBytes = kMFMaxReplyBytes; // for a body held in memory
    // When set, the body of a 2xx reply is streamed into this file (replaced only once
    // complete) instead of memory, with no size cap.
    QString bodyFile;
};

// One network session on a thread of its own, so replies are read and parsed away from
// the interface thread. Certificates are always verified; redirects are followed only
// within the request's origin. At most six requests per origin are on the wire at once;
// the rest wait, unsent, in the session's own queue.
//
// Every started request ends exactly once through its done callback: answered, failed,
// cancelled (cancel(), or the session destroyed) or timed out.
class HttpSession {
public:
    using RequestId = quint64;
    using Done = std::function<void(const HttpResult &result)>;
    using Progress = std::function<void(qint64 received, qint64 total)>;

    explicit HttpSession(const QString &threadName);
    // Ends every pending request with the cancellation error before returning.
    ~HttpSession();
    HttpSession(const HttpSession &) = delete;
    HttpSession &operator=(const HttpSession &) = delete;

    // Callable from any thread; done and progress run on the session's thread. The id is
    // the caller's and must be unique within this session. Progress counts the body sent
    // when there is one, else the reply received.
    void start(RequestId id, const QNetworkRequest &request, const QByteArray &verb, const QByteArray &body,
               const HttpOptions &options, Done done, Progress progress = {});
    // Ends the request with the cancellation error; nothing when it already ended.
    void cancel(RequestId id);

    static constexpr int kMaxConnectionsPerOrigin = 6;

private:
    class Core;
    QThread m_thread;
    Core *m_core = nullptr;
};

// Transport failures in kMFURLErrorDomain.
platform::Error urlError(int code, const QUrl &url, const QString &detail = {});

} // namespace merovantia
