#pragma once

#include "FakeReply.h"
#include "FakeWebSocketEndpoint.h"
#include "RecordedRequest.h"

#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <functional>
#include <memory>

namespace qvtest {

class HttpConnection;

// Loopback stand-in for the maker's backend: an HTTP/1.1 server on 127.0.0.1 with an ephemeral
// port, started by the constructor. It runs on the event loop of the thread that created it
// (the main thread in tests), so a test must spin that loop (qvtest::waitUntil) while a client
// talks to it, and must not block that thread while waiting for a client on another thread.
// Handlers run on that thread too and may touch test state freely.
//
//   qvtest::FakeBackend backend;
//   qvtest::ScopedBackendHosts hosts(backend.baseUrl()); // QV_*_HOST point here until scope end
//   backend.route("POST", "/api/translate", qvtest::FakeReply::json({{"text", "Hallo"}}));
//   ... run the client ...
//   ASSERT_TRUE(backend.waitForRequests(1));
//   EXPECT_EQ(backend.lastRequest().jsonObject()["q"], "Hello");
//
// Unrouted requests get 404 and are logged with matchedRoute == false. The WebSocket side
// listens on a second port: backend.webSocket().script("/push", script), clients connect to
// backend.webSocketUrl("/push").
class FakeBackend : public QObject {
    Q_OBJECT
public:
    using Reply = FakeReply;
    using Handler = std::function<FakeReply(const RecordedRequest &)>;

    explicit FakeBackend(QObject *parent = nullptr);
    ~FakeBackend() override;

    bool isListening() const { return m_server.isListening() && m_webSocket.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // http://127.0.0.1:PORT
    QUrl baseUrl() const;
    // baseUrl() with this path (and query, if given: "/a/b?x=1").
    QUrl url(const QString &pathAndQuery) const;

    // The WebSocket endpoint, on a second loopback port: ws://127.0.0.1:PORT2 + path.
    FakeWebSocketEndpoint &webSocket() { return m_webSocket; }
    QUrl webSocketUrl(const QString &pathAndQuery = QStringLiteral("/")) const {
        return m_webSocket.url(pathAndQuery);
    }

    // Routing. The method is matched exactly ("GET", "POST"...), or any method with "*". A path
    // ending in '*' matches every path with that prefix; exact paths win over prefixes, longer
    // prefixes over shorter ones. Routing the same method and path again replaces the route.
    void route(const QByteArray &method, const QString &path, const FakeReply &reply);
    // The replies are used in order; the last one repeats.
    void routeSequence(const QByteArray &method, const QString &path, const QList<FakeReply> &replies);
    // The handler decides each answer; it sees the request as logged.
    void routeHandler(const QByteArray &method, const QString &path, Handler handler);
    void removeRoute(const QByteArray &method, const QString &path);
    void clearRoutes();
    // How many requests this route has answered.
    int hitCount(const QByteArray &method, const QString &path) const;

    // The request log, in arrival order (a request is logged when it has fully arrived, before
    // any delay of its reply).
    QList<RecordedRequest> requests() const { return m_requests; }
    QList<RecordedRequest> requests(const QByteArray &method, const QString &path) const;
    QList<RecordedRequest> unmatchedRequests() const;
    int requestCount() const { return int(m_requests.size()); }
    // The latest request; a default one (empty method) when none arrived.
    RecordedRequest lastRequest() const;
    void clearRequests() { m_requests.clear(); }
    // Spins the event loop until at least count requests are logged (in total, or to this
    // method and path); false on time-out.
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    bool waitForRequests(const QByteArray &method, const QString &path, int count,
                         int timeoutMs = 5000) const;

    // Connections accepted so far (kept-alive requests share one).
    int connectionCount() const { return m_connectionCount; }
    // Drops every open client connection, as a backend going away would.
    void closeAllConnections();

signals:
    void requestReceived(const qvtest::RecordedRequest &request);

private:
    struct Route;

    void onNewConnection();
    FakeReply resolve(RecordedRequest &request);
    Route *findRoute(const QByteArray &method, const QString &path);
    Route &addRoute(const QByteArray &method, const QString &path);

    QTcpServer m_server;
    FakeWebSocketEndpoint m_webSocket;
    std::vector<std::unique_ptr<Route>> m_routes;
    QList<RecordedRequest> m_requests;
    QList<HttpConnection *> m_connections;
    int m_connectionCount = 0;
};

} // namespace qvtest
