#include "HttpTestClient.h"
#include "support/FakeBackend.h"

#include <gtest/gtest.h>

#include <QTcpSocket>

#include <algorithm>

using qvtest::FakeBackend;
using qvtest::FakeReply;
using qvtest::fetch;

namespace {

// Writes raw bytes to the backend and collects everything it answers until it closes.
QByteArray rawExchange(const FakeBackend &backend, const QByteArray &bytes, int waitMs = 3000) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, backend.port());
    if (!socket.waitForConnected(3000))
        return "not connected";
    socket.write(bytes);
    QByteArray answer;
    qvtest::waitUntil(
        [&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        waitMs);
    answer += socket.readAll();
    return answer;
}

} // namespace

TEST(FakeBackendRequestLog, RecordsHeadersCaseInsensitivelyAndJsonBody) {
    FakeBackend backend;
    backend.route("POST", "/api/translate", FakeReply::jsonMap(QVariantMap{{"ok", true}}));
    QNetworkAccessManager manager;
    QNetworkRequest request(backend.url("/api/translate"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json; charset=utf-8");
    request.setRawHeader("X-Client-Version", "1.0");

    const auto got = fetch(manager, request, "POST", R"({"text":"Guten Tag","pair":["de","en"]})");
    EXPECT_EQ(got.body, R"({"ok":true})");

    ASSERT_EQ(backend.requestCount(), 1);
    const auto logged = backend.lastRequest();
    EXPECT_EQ(logged.method, "POST");
    EXPECT_EQ(logged.httpVersion, "HTTP/1.1");
    EXPECT_TRUE(logged.matchedRoute);
    EXPECT_EQ(logged.header("x-client-version"), "1.0");
    EXPECT_EQ(logged.header("X-CLIENT-VERSION"), "1.0");
    EXPECT_TRUE(logged.hasHeader("content-length"));
    EXPECT_FALSE(logged.hasHeader("X-Missing"));
    EXPECT_EQ(logged.body, R"({"text":"Guten Tag","pair":["de","en"]})");
    EXPECT_EQ(logged.jsonObject().value("text").toString(), "Guten Tag");
    EXPECT_EQ(logged.jsonObject().value("pair").toArray().size(), 2);
}

TEST(FakeBackendRequestLog, KeepsQueryItemsInTheOrderSentAndDecoded) {
    FakeBackend backend;
    backend.route("GET", "/search", FakeReply::text("ok"));
    QNetworkAccessManager manager;
    fetch(manager, QNetworkRequest(backend.url("/search?z=1&a=hello%20world&m=%C3%BC&a=2&flag")));

    const auto logged = backend.lastRequest();
    ASSERT_EQ(logged.queryItems.size(), 5);
    const QList<QPair<QString, QString>> expected{
        {"z", "1"}, {"a", "hello world"}, {"m", QString::fromUtf8("\xC3\xBC")}, {"a", "2"}, {"flag", ""}};
    EXPECT_EQ(logged.queryItems, expected);
    EXPECT_EQ(logged.queryValue("a"), "hello world");
    EXPECT_EQ(logged.query.allQueryItemValues("a").size(), 2);
}

TEST(FakeBackendRequestLog, DecodesFormUrlEncodedBodies) {
    FakeBackend backend;
    backend.route("POST", "/login", FakeReply::text("ok"));
    QNetworkAccessManager manager;
    QNetworkRequest request(backend.url("/login"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    fetch(manager, request, "POST", "user=ann+lee&pass=a%26b&user=second");

    const auto logged = backend.lastRequest();
    ASSERT_EQ(logged.formItems.size(), 3);
    EXPECT_EQ(logged.formValue("user"), "ann lee");
    EXPECT_EQ(logged.formValue("pass"), "a&b");
    EXPECT_EQ(logged.formItems[2].second, "second");
    EXPECT_TRUE(logged.json.isNull());
}

TEST(FakeBackendRequestLog, FiltersByRouteAndWaitsForRequests) {
    FakeBackend backend;
    backend.route("GET", "/ping", FakeReply::text("pong"));
    QNetworkAccessManager manager;
    QNetworkReply *first = manager.get(QNetworkRequest(backend.url("/ping")));
    QNetworkReply *second = manager.get(QNetworkRequest(backend.url("/other")));

    ASSERT_TRUE(backend.waitForRequests(2));
    EXPECT_TRUE(backend.waitForRequests("GET", "/ping", 1));
    EXPECT_EQ(backend.requests("GET", "/ping").size(), 1);
    EXPECT_FALSE(backend.waitForRequests("GET", "/ping", 2, 200));
    backend.clearRequests();
    EXPECT_EQ(backend.requestCount(), 0);
    EXPECT_EQ(backend.lastRequest().method, QByteArray());
    qvtest::waitUntil([&] { return first->isFinished() && second->isFinished(); });
    delete first;
    delete second;
}

TEST(FakeBackendRequestLog, AcceptsChunkedRequestBodiesAndPipelinedRequests) {
    FakeBackend backend;
    backend.route("POST", "/upload", FakeReply::text("stored"));
    backend.route("GET", "/after", FakeReply::text("next"));
    const QByteArray answer =
        rawExchange(backend, "POST /upload HTTP/1.1\r\nHost: x\r\n"
                             "Transfer-Encoding: chunked\r\n\r\n"
                             "5\r\nhello\r\n7;ext=1\r\n, world\r\n0\r\n\r\n"
                             "GET /after HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    ASSERT_EQ(backend.requestCount(), 2);
    EXPECT_EQ(backend.requests()[0].body, "hello, world");
    EXPECT_EQ(backend.requests()[1].path, "/after");
    const int firstAnswer = answer.indexOf("stored");
    EXPECT_GT(firstAnswer, 0);
    EXPECT_GT(answer.indexOf("next"), firstAnswer);
}

TEST(FakeBackendRequestLog, AnswersMalformedRequestsWith400AndCloses) {
    FakeBackend backend;
    EXPECT_TRUE(rawExchange(backend, "NONSENSE\r\n\r\n").startsWith("HTTP/1.1 400"));
    EXPECT_TRUE(
        rawExchange(backend, "POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\n").startsWith("HTTP/1.1 400"));
    EXPECT_TRUE(rawExchange(backend, "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")
                    .startsWith("HTTP/1.1 400"));
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST(FakeBackendRequestLog, AnswersExpectContinueBeforeTheBody) {
    FakeBackend backend;
    backend.route("PUT", "/blob", FakeReply::withStatus(204));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, backend.port());
    ASSERT_TRUE(socket.waitForConnected(3000));
    socket.write("PUT /blob HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nExpect: 100-continue\r\n\r\n");
    QByteArray answer;
    ASSERT_TRUE(qvtest::waitUntil([&] { return (answer += socket.readAll()).contains("\r\n\r\n"); }));
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 100 Continue"));
    socket.write("abc");
    ASSERT_TRUE(qvtest::waitUntil([&] { return (answer += socket.readAll()).contains("204"); }));
    EXPECT_EQ(backend.lastRequest().body, "abc");
}

TEST(FakeBackendRequestLog, LogsLargeUploadsIntactAndManyParallelRequests) {
    FakeBackend backend;
    backend.route("PUT", "/big", FakeReply::withStatus(204));
    backend.routeHandler("GET", "/n", [](const qvtest::RecordedRequest &request) {
        return FakeReply::text(request.queryValue("i").toUtf8())
            .withDelay(request.queryValue("i").toInt() % 3 * 20);
    });
    QNetworkAccessManager manager;

    QByteArray upload(5 * 1024 * 1024, '\0');
    for (int i = 0; i < upload.size(); ++i)
        upload[i] = char(i * 7 % 251);
    EXPECT_EQ(fetch(manager, QNetworkRequest(backend.url("/big")), "PUT", upload).status, 204);
    EXPECT_EQ(backend.lastRequest().body, upload);

    QList<QNetworkReply *> replies;
    for (int i = 0; i < 20; ++i)
        replies.append(manager.get(QNetworkRequest(backend.url(QStringLiteral("/n?i=%1").arg(i)))));
    ASSERT_TRUE(qvtest::waitUntil([&] {
        return std::all_of(replies.begin(), replies.end(), [](QNetworkReply *r) { return r->isFinished(); });
    }));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(replies[i]->readAll(), QByteArray::number(i));
        delete replies[i];
    }
    EXPECT_EQ(backend.requests("GET", "/n").size(), 20);
}
