#include "FakeBackend.h"

#include "EventLoop.h"
#include "HttpConnection.h"

#include <QHostAddress>

#include <exception>

namespace qvtest {

struct FakeBackend::Route {
    QByteArray method;
    QString path;
    QList<FakeReply> replies;
    Handler handler;
    int hits = 0;

    bool isPrefix() const { return path.endsWith(QLatin1Char('*')); }
    QString prefix() const { return path.chopped(1); }
    bool matchesMethod(const QByteArray &m) const { return method == "*" || method == m; }
};

FakeBackend::FakeBackend(QObject *parent) : QObject(parent) {
    connect(&m_server, &QTcpServer::newConnection, this, &FakeBackend::onNewConnection);
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qWarning("FakeBackend: cannot listen on 127.0.0.1: %s", qPrintable(m_server.errorString()));
}

FakeBackend::~FakeBackend() {
    m_server.close();
    const QList<HttpConnection *> connections = m_connections;
    m_connections.clear();
    for (HttpConnection *connection : connections) {
        connection->disconnect(this);
        delete connection;
    }
}

QUrl FakeBackend::baseUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

QUrl FakeBackend::url(const QString &pathAndQuery) const {
    return QUrl(baseUrl().toString() + pathAndQuery);
}

FakeBackend::Route &FakeBackend::addRoute(const QByteArray &method, const QString &path) {
    removeRoute(method, path);
    auto route = std::make_unique<Route>();
    route->method = method.toUpper();
    route->path = path;
    m_routes.push_back(std::move(route));
    return *m_routes.back();
}

void FakeBackend::route(const QByteArray &method, const QString &path, const FakeReply &reply) {
    addRoute(method, path).replies = {reply};
}

void FakeBackend::routeSequence(const QByteArray &method, const QString &path,
                                const QList<FakeReply> &replies) {
    addRoute(method, path).replies =
        replies.isEmpty() ? QList<FakeReply>{FakeReply::withStatus(204)} : replies;
}

void FakeBackend::routeHandler(const QByteArray &method, const QString &path, Handler handler) {
    addRoute(method, path).handler = std::move(handler);
}

void FakeBackend::removeRoute(const QByteArray &method, const QString &path) {
    const QByteArray upper = method.toUpper();
    for (auto it = m_routes.begin(); it != m_routes.end(); ++it) {
        if ((*it)->method == upper && (*it)->path == path) {
            m_routes.erase(it);
            return;
        }
    }
}

void FakeBackend::clearRoutes() {
    m_routes.clear();
}

int FakeBackend::hitCount(const QByteArray &method, const QString &path) const {
    const QByteArray upper = method.toUpper();
    for (const auto &route : m_routes)
        if (route->method == upper && route->path == path)
            return route->hits;
    return 0;
}

FakeBackend::Route *FakeBackend::findRoute(const QByteArray &method, const QString &path) {
    Route *best = nullptr;
    for (const auto &route : m_routes) {
        if (!route->matchesMethod(method))
            continue;
        if (!route->isPrefix()) {
            if (route->path == path)
                return route.get();
            continue;
        }
        if (path.startsWith(route->prefix()) && (!best || route->prefix().size() > best->prefix().size()))
            best = route.get();
    }
    return best;
}

FakeReply FakeBackend::resolve(RecordedRequest &request) {
    Route *route = findRoute(request.method, request.path);
    request.matchedRoute = route != nullptr;
    m_requests.append(request);
    emit requestReceived(request);
    if (!route)
        return FakeReply::text("no route for " + request.method + ' ' + request.path.toUtf8(), 404);

    const int index = route->hits++;
    if (route->handler) {
        // A handler that throws must not take the server down. A copy: the handler may re-route and so
        // destroy its own route.
        const Handler handler = route->handler;
        try {
            return handler(request);
        } catch (const std::exception &e) {
            return FakeReply::text(QByteArray("handler threw: ") + e.what(), 500);
        } catch (...) {
            return FakeReply::text("handler threw", 500);
        }
    }
    return route->replies.at(qMin(index, int(route->replies.size()) - 1));
}

void FakeBackend::onNewConnection() {
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *connection = new HttpConnection(
            socket, ++m_connectionCount, [this](RecordedRequest &request) { return resolve(request); }, this);
        m_connections.append(connection);
        connect(connection, &HttpConnection::closed, this, [this](HttpConnection *closed) {
            m_connections.removeOne(closed);
            closed->deleteLater();
        });
    }
}

QList<RecordedRequest> FakeBackend::requests(const QByteArray &method, const QString &path) const {
    QList<RecordedRequest> result;
    for (const RecordedRequest &request : m_requests)
        if ((method == "*" || request.method == method.toUpper()) && request.path == path)
            result.append(request);
    return result;
}

QList<RecordedRequest> FakeBackend::unmatchedRequests() const {
    QList<RecordedRequest> result;
    for (const RecordedRequest &request : m_requests)
        if (!request.matchedRoute)
            result.append(request);
    return result;
}

RecordedRequest FakeBackend::lastRequest() const {
    return m_requests.isEmpty() ? RecordedRequest() : m_requests.last();
}

bool FakeBackend::waitForRequests(int count, int timeoutMs) const {
    return waitUntil([this, count] { return m_requests.size() >= count; }, timeoutMs);
}

bool FakeBackend::waitForRequests(const QByteArray &method, const QString &path, int count,
                                  int timeoutMs) const {
    return waitUntil([&] { return requests(method, path).size() >= count; }, timeoutMs);
}

void FakeBackend::closeAllConnections() {
    const QList<HttpConnection *> connections = m_connections;
    for (HttpConnection *connection : connections)
        connection->abort();
}

} // namespace qvtest
