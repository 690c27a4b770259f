#include "FakeWebSocketEndpoint.h"

#include "EventLoop.h"

#include <QHostAddress>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>

namespace qvtest {

struct FakeWebSocketEndpoint::Connection {
    QPointer<QWebSocket> socket;
    int id = 0;
    QString path;
    WebSocketScript script;
    int nextFrame = 0;
    bool started = false;
};

FakeWebSocketEndpoint::FakeWebSocketEndpoint(QObject *parent)
    : QObject(parent), m_server(QStringLiteral("fake-backend"), QWebSocketServer::NonSecureMode) {
    connect(&m_server, &QWebSocketServer::newConnection, this, &FakeWebSocketEndpoint::onNewConnection);
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qWarning("FakeWebSocketEndpoint: cannot listen on 127.0.0.1: %s", qPrintable(m_server.errorString()));
}

FakeWebSocketEndpoint::~FakeWebSocketEndpoint() {
    m_server.close();
    const QList<Connection *> connections = m_sockets;
    m_sockets.clear();
    for (Connection *connection : connections) {
        if (connection->socket) {
            connection->socket->disconnect(this);
            connection->socket->abort();
            delete connection->socket;
        }
        delete connection;
    }
}

QUrl FakeWebSocketEndpoint::url(const QString &pathAndQuery) const {
    return QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery));
}

void FakeWebSocketEndpoint::script(const QString &path, const WebSocketScript &script) {
    m_scripts[path] = script;
}

void FakeWebSocketEndpoint::onNewConnection() {
    while (QWebSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        auto *connection = new Connection;
        connection->socket = socket;
        connection->id = int(m_handshakes.size()) + 1;

        RecordedRequest handshake;
        handshake.method = "GET";
        const QUrl url = socket->requestUrl();
        handshake.target = url.path(QUrl::FullyEncoded).toUtf8();
        if (url.hasQuery())
            handshake.target += '?' + url.query(QUrl::FullyEncoded).toUtf8();
        handshake.httpVersion = "HTTP/1.1";
        handshake.decodeTarget();
        const QNetworkRequest request = socket->request();
        for (const QByteArray &name : request.rawHeaderList())
            handshake.headers.append({name, request.rawHeader(name)});
        handshake.connectionId = connection->id;
        connection->path = handshake.path;

        const QString scriptKey =
            m_scripts.contains(connection->path) ? connection->path : QStringLiteral("*");
        handshake.matchedRoute = m_scripts.contains(scriptKey);
        connection->script = m_scripts.value(scriptKey);
        m_handshakes.append(handshake);
        m_sockets.append(connection);

        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, connection](const QString &text) { onText(connection, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, connection](const QByteArray &data) {
            WebSocketMessage message{connection->path, connection->id, true, QString(), data};
            m_received.append(message);
            emit messageReceived(message);
            if (!connection->started)
                startScript(connection);
        });
        connect(socket, &QWebSocket::disconnected, this, [this, connection] { forget(connection); });

        if (!connection->script.afterFirstMessage)
            startScript(connection);
    }
}

void FakeWebSocketEndpoint::startScript(Connection *connection) {
    connection->started = true;
    sendNextFrame(connection);
}

FakeWebSocketEndpoint::Connection *FakeWebSocketEndpoint::find(int id) const {
    for (Connection *connection : m_sockets)
        if (connection->id == id)
            return connection;
    return nullptr;
}

void FakeWebSocketEndpoint::sendNextFrame(Connection *connection) {
    if (!connection->socket)
        return;
    const WebSocketScript &script = connection->script;
    if (connection->nextFrame >= script.frames.size()) {
        if (script.closeAfter)
            connection->socket->close(script.closeCode, script.closeReason);
        return;
    }
    // By id: the connection may be gone when a delayed frame is due.
    auto send = [this, id = connection->id] {
        Connection *current = find(id);
        if (!current || !current->socket)
            return;
        current->socket->sendTextMessage(current->script.frames.at(current->nextFrame++));
        sendNextFrame(current);
    };
    if (script.delayMs > 0)
        QTimer::singleShot(script.delayMs, connection->socket.data(), send);
    else
        send();
}

void FakeWebSocketEndpoint::onText(Connection *connection, const QString &text) {
    WebSocketMessage message{connection->path, connection->id, false, text, QByteArray()};
    m_received.append(message);
    emit messageReceived(message);
    if (!connection->started) {
        startScript(connection);
        return;
    }
    if (connection->script.onMessage && connection->socket)
        for (const QString &answer : connection->script.onMessage(text))
            connection->socket->sendTextMessage(answer);
}

void FakeWebSocketEndpoint::forget(Connection *connection) {
    if (!m_sockets.removeOne(connection))
        return;
    if (connection->socket) {
        connection->socket->disconnect(this);
        connection->socket->deleteLater();
    }
    delete connection;
}

QStringList FakeWebSocketEndpoint::receivedTexts() const {
    QStringList texts;
    for (const WebSocketMessage &message : m_received)
        if (!message.isBinary)
            texts.append(message.text);
    return texts;
}

bool FakeWebSocketEndpoint::waitForConnections(int count, int timeoutMs) const {
    return waitUntil([this, count] { return m_handshakes.size() >= count; }, timeoutMs);
}

bool FakeWebSocketEndpoint::waitForMessages(int count, int timeoutMs) const {
    return waitUntil([this, count] { return m_received.size() >= count; }, timeoutMs);
}

void FakeWebSocketEndpoint::sendText(const QString &text, const QString &path) {
    for (Connection *connection : m_sockets)
        if (connection->socket && (path.isEmpty() || connection->path == path))
            connection->socket->sendTextMessage(text);
}

void FakeWebSocketEndpoint::closeAll(QWebSocketProtocol::CloseCode code, const QString &reason) {
    const QList<Connection *> connections = m_sockets;
    for (Connection *connection : connections)
        if (connection->socket)
            connection->socket->close(code, reason);
}

void FakeWebSocketEndpoint::abortAll() {
    const QList<Connection *> connections = m_sockets;
    for (Connection *connection : connections)
        if (connection->socket)
            connection->socket->abort();
}

} // namespace qvtest
