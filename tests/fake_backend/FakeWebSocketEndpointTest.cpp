#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include <gtest/gtest.h>

#include <QNetworkRequest>
#include <QWebSocket>

using qvtest::FakeBackend;
using qvtest::WebSocketScript;

namespace {

// A client that records what it receives.
struct Client {
    QWebSocket socket;
    QStringList frames;
    bool closed = false;
    QWebSocketProtocol::CloseCode closeCode = QWebSocketProtocol::CloseCodeNormal;

    Client() {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket,
                         [this](const QString &text) { frames.append(text); });
        QObject::connect(&socket, &QWebSocket::disconnected, &socket, [this] {
            closed = true;
            closeCode = socket.closeCode();
        });
    }
    bool open(const QUrl &url) {
        QNetworkRequest request(url);
        request.setRawHeader("Authorization", "Bearer push-token");
        socket.open(request);
        return qvtest::waitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
};

} // namespace

TEST(FakeWebSocketEndpoint, SendsScriptedFramesInOrderThenCloses) {
    FakeBackend backend;
    WebSocketScript script;
    script.frames = {"one", "two", "three"};
    script.delayMs = 10;
    script.closeAfter = true;
    backend.webSocket().script("/push", script);
    EXPECT_EQ(backend.webSocketUrl("/push").scheme(), "ws");
    EXPECT_EQ(backend.webSocketUrl("/push").host(), "127.0.0.1");

    Client client;
    ASSERT_TRUE(client.open(backend.webSocketUrl("/push?device=abc&v=2")));
    ASSERT_TRUE(qvtest::waitUntil([&] { return client.closed; }));
    EXPECT_EQ(client.frames, QStringList({"one", "two", "three"}));
    EXPECT_EQ(client.closeCode, QWebSocketProtocol::CloseCodeNormal);

    ASSERT_EQ(backend.webSocket().connectionCount(), 1);
    const auto handshake = backend.webSocket().handshakes().first();
    EXPECT_EQ(handshake.path, "/push");
    EXPECT_EQ(handshake.queryValue("device"), "abc");
    EXPECT_EQ(handshake.header("authorization"), "Bearer push-token");
    EXPECT_TRUE(handshake.matchedRoute);
}

TEST(FakeWebSocketEndpoint, LogsReceivedFramesAndCanWaitForTheFirstMessage) {
    FakeBackend backend;
    WebSocketScript script;
    script.frames = {"welcome"};
    script.afterFirstMessage = true;
    script.onMessage = [](const QString &message) { return QStringList{"echo:" + message}; };
    backend.webSocket().script("*", script);

    Client client;
    ASSERT_TRUE(client.open(backend.webSocketUrl("/events")));
    qvtest::spin(50);
    EXPECT_TRUE(client.frames.isEmpty());

    client.socket.sendTextMessage("hello");
    ASSERT_TRUE(qvtest::waitUntil([&] { return client.frames.size() == 1; }));
    EXPECT_EQ(client.frames.first(), "welcome");
    client.socket.sendTextMessage("again");
    client.socket.sendBinaryMessage(QByteArray("\x01\x02", 2));
    ASSERT_TRUE(backend.webSocket().waitForMessages(3));
    ASSERT_TRUE(qvtest::waitUntil([&] { return client.frames.size() == 2; }));
    EXPECT_EQ(client.frames.last(), "echo:again");

    const auto received = backend.webSocket().received();
    EXPECT_EQ(backend.webSocket().receivedTexts(), QStringList({"hello", "again"}));
    EXPECT_EQ(received[0].path, "/events");
    EXPECT_TRUE(received[2].isBinary);
    EXPECT_EQ(received[2].data, QByteArray("\x01\x02", 2));
}

TEST(FakeWebSocketEndpoint, PushesAndClosesFromTheServerSide) {
    FakeBackend backend;
    Client first;
    Client second;
    ASSERT_TRUE(first.open(backend.webSocketUrl("/a")));
    ASSERT_TRUE(second.open(backend.webSocketUrl("/b")));
    ASSERT_TRUE(backend.webSocket().waitForConnections(2));
    EXPECT_FALSE(backend.webSocket().handshakes().first().matchedRoute);

    backend.webSocket().sendText("only a", "/a");
    backend.webSocket().sendText("everyone");
    ASSERT_TRUE(qvtest::waitUntil([&] { return first.frames.size() == 2 && second.frames.size() == 1; }));
    EXPECT_EQ(first.frames, QStringList({"only a", "everyone"}));

    backend.webSocket().closeAll(QWebSocketProtocol::CloseCodeGoingAway);
    ASSERT_TRUE(qvtest::waitUntil([&] { return first.closed && second.closed; }));
    EXPECT_EQ(first.closeCode, QWebSocketProtocol::CloseCodeGoingAway);
    ASSERT_TRUE(qvtest::waitUntil([&] { return backend.webSocket().openConnectionCount() == 0; }));
}

TEST(FakeWebSocketEndpoint, EachConnectionRunsTheScriptFromTheStart) {
    FakeBackend backend;
    WebSocketScript script;
    script.frames = {"x", "y"};
    backend.webSocket().script("/s", script);
    for (int i = 0; i < 2; ++i) {
        Client client;
        ASSERT_TRUE(client.open(backend.webSocketUrl("/s")));
        ASSERT_TRUE(qvtest::waitUntil([&] { return client.frames.size() == 2; }));
        EXPECT_EQ(client.frames, QStringList({"x", "y"}));
    }
    EXPECT_EQ(backend.webSocket().connectionCount(), 2);
}

TEST(FakeWebSocketEndpoint, DestroyingTheBackendWithOpenConnectionsDisconnectsClients) {
    Client client;
    {
        FakeBackend backend;
        WebSocketScript script;
        script.frames = {"late"};
        script.delayMs = 1000;
        backend.webSocket().script("/s", script);
        ASSERT_TRUE(client.open(backend.webSocketUrl("/s")));
    }
    ASSERT_TRUE(qvtest::waitUntil([&] { return client.closed; }));
    qvtest::spin(50);
    EXPECT_TRUE(client.frames.isEmpty());
}
