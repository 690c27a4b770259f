#pragma once

#include "RecordedRequest.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QWebSocketProtocol>
#include <QWebSocketServer>

#include <functional>

class QWebSocket;

namespace qvtest {

// What the endpoint does on a connection to one path.
struct WebSocketScript {
    QStringList frames;             // text frames, sent in order
    int delayMs = 0;                // before each frame
    bool afterFirstMessage = false; // hold the frames until the client has sent one message
    bool closeAfter = false;        // close once every frame went out
    QWebSocketProtocol::CloseCode closeCode = QWebSocketProtocol::CloseCodeNormal;
    QString closeReason;
    // Answers to every text message the client sends (after the scripted frames started).
    std::function<QStringList(const QString &message)> onMessage;
};

// A message the endpoint received from a client.
struct WebSocketMessage {
    QString path;
    int connectionId = 0;
    bool isBinary = false;
    QString text;
    QByteArray data; // binary frames
};

// WebSocket side of the fake backend, on its own loopback port (same thread as the HTTP side).
// Each connection runs the script of its path (or of "*") from the start.
class FakeWebSocketEndpoint : public QObject {
    Q_OBJECT
public:
    explicit FakeWebSocketEndpoint(QObject *parent = nullptr);
    ~FakeWebSocketEndpoint() override;

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // ws://127.0.0.1:PORT + path (which may carry a query).
    QUrl url(const QString &pathAndQuery = QStringLiteral("/")) const;

    // The script for connections to this path; "*" for paths without their own.
    void script(const QString &path, const WebSocketScript &script);
    void clearScripts() { m_scripts.clear(); }

    // Handshakes seen, as requests (method "GET", path, query, headers), in order.
    QList<RecordedRequest> handshakes() const { return m_handshakes; }
    int connectionCount() const { return int(m_handshakes.size()); }
    int openConnectionCount() const { return int(m_sockets.size()); }
    bool waitForConnections(int count, int timeoutMs = 5000) const;

    QList<WebSocketMessage> received() const { return m_received; }
    QStringList receivedTexts() const;
    void clearReceived() { m_received.clear(); }
    bool waitForMessages(int count, int timeoutMs = 5000) const;

    // Pushes a text frame to every open connection (to one path when given).
    void sendText(const QString &text, const QString &path = QString());
    // Closes every open connection from the server side.
    void closeAll(QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeGoingAway,
                  const QString &reason = QString());
    // Drops every open connection without a closing handshake.
    void abortAll();

signals:
    void messageReceived(const qvtest::WebSocketMessage &message);

private:
    struct Connection;

    void onNewConnection();
    Connection *find(int id) const;
    void startScript(Connection *connection);
    void sendNextFrame(Connection *connection);
    void onText(Connection *connection, const QString &text);
    void forget(Connection *connection);

    QWebSocketServer m_server;
    QMap<QString, WebSocketScript> m_scripts;
    QList<RecordedRequest> m_handshakes;
    QList<WebSocketMessage> m_received;
    QList<Connection *> m_sockets;
};

} // namespace qvtest
