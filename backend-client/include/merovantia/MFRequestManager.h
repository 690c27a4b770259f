#pragma once

#include <merovantia/MFURLError.h>
#include "platform/Error.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>

namespace merovantia {
class HttpSession;
struct HttpResult;
} // namespace merovantia

// Client of the backend's application API under "<client host>/api": remote
// configuration, remote settings, cross-promotion, news and update notices.
// Every request is a JSON POST carrying "appKey" and "uuid"; every block runs
// on the main thread, exactly once, after the starting call has returned.
// A null QVariant stands for "no value"; a null Error for "no error".
class MFRequestManager {
public:
    using ObjectBlock = std::function<void(const QVariant &object, const platform::Error &error)>;
    using RemoteSettingsBlock = std::function<void(const QVariant &config, const QVariant &localNotification,
                                                   const platform::Error &error)>;

    static MFRequestManager &sharedRequestManager();

    void getConfigInBackgroundWithBlock(ObjectBlock block);
    void getRemoteSettingsWithLanguage(const QString &language, RemoteSettingsBlock block);
    void getCrossPromoForLang(const QString &language, ObjectBlock callback);
    void getNewsWithLang(const QString &language, const QVariant &lastNewsId, const QString &osPlatform,
                         ObjectBlock callback);
    void getUpdateVersionWithLang(const QString &language, const QString &osPlatform, ObjectBlock callback);

    // request: "method" (path below the base URL), "type" (HTTP method), "data" (body fields).
    void startRequest(const QVariantMap &request, ObjectBlock callback);
    // The HTTP request and its body: the fields plus the stored "appKey" and "uuid".
    QNetworkRequest taskRequest(const QString &method, const QString &httpMethod, const QVariantMap &params,
                                QByteArray *body) const;
    // Error 1101 of the base URL's domain for a failed reply.
    platform::Error errorGenerateForData(const QByteArray &data, bool hasResponse) const;
    platform::Error errorSimple() const;

    // "<client host>/api", read from the backend configuration at each request.
    QUrl baseURL() const;

    // 30 s without traffic and 60 s in all by default; tests shorten them.
    void setTimeouts(int requestMs, int resourceMs);
    // Largest reply body (default kMFMaxReplyBytes); tests lower it.
    void setMaximumReplyBytes(qint64 bytes) { m_maxReplyBytes = bytes; }

    void printLog(const QString &message) const;

    static constexpr qint64 kErrorCode = 1101;
    static constexpr qint64 kSimpleErrorCode = 1102;

private:
    MFRequestManager();
    ~MFRequestManager();
    using ResultBlock = std::function<void(const QVariant &object, const platform::Error &error)>;
    void startStandardTask(const QNetworkRequest &request, const QByteArray &verb, const QByteArray &body,
                           ResultBlock callback);
    void evaluate(const merovantia::HttpResult &result, const ResultBlock &callback) const;

    std::unique_ptr<merovantia::HttpSession> m_session;
    std::atomic<int> m_requestTimeoutMs{30000};
    std::atomic<int> m_resourceTimeoutMs{60000};
    std::atomic<qint64> m_maxReplyBytes{kMFMaxReplyBytes};
    std::atomic<quint64> m_nextRequestId{1};
};
