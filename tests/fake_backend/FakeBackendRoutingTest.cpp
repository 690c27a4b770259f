#include "HttpTestClient.h"
#include "support/FakeBackend.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

using qvtest::FakeBackend;
using qvtest::FakeReply;
using qvtest::fetch;

namespace {

QNetworkRequest requestFor(const FakeBackend &backend, const QString &pathAndQuery) {
    return QNetworkRequest(backend.url(pathAndQuery));
}

} // namespace

TEST(FakeBackendRouting, ListensOnLoopbackWithEphemeralPort) {
    FakeBackend backend;
    ASSERT_TRUE(backend.isListening());
    EXPECT_NE(backend.port(), 0);
    EXPECT_EQ(backend.baseUrl().host(), "127.0.0.1");
    EXPECT_EQ(backend.baseUrl().port(), backend.port());
}

TEST(FakeBackendRouting, RoutesByMethodAndPathAndAnswersScriptedReply) {
    FakeBackend backend;
    backend.route("GET", "/api/v1/languages", FakeReply::text("list", 203).withHeader("X-Trace", "abc"));
    backend.route("POST", "/api/v1/languages", FakeReply::text("created", 201));
    QNetworkAccessManager manager;

    const auto got = fetch(manager, requestFor(backend, "/api/v1/languages"));
    EXPECT_EQ(got.status, 203);
    EXPECT_EQ(got.body, "list");
    EXPECT_EQ(got.header("x-trace"), "abc");
    EXPECT_EQ(got.header("Content-Type"), "text/plain; charset=utf-8");

    const auto posted = fetch(manager, requestFor(backend, "/api/v1/languages"), "POST", "x");
    EXPECT_EQ(posted.status, 201);
    EXPECT_EQ(posted.body, "created");
    EXPECT_EQ(backend.hitCount("GET", "/api/v1/languages"), 1);
    EXPECT_EQ(backend.hitCount("POST", "/api/v1/languages"), 1);
}

TEST(FakeBackendRouting, MethodMismatchAndUnknownPathAre404AndLogged) {
    FakeBackend backend;
    backend.route("POST", "/translate", FakeReply::text("ok"));
    QNetworkAccessManager manager;

    EXPECT_EQ(fetch(manager, requestFor(backend, "/translate")).status, 404);
    EXPECT_EQ(fetch(manager, requestFor(backend, "/nowhere"), "DELETE").status, 404);

    ASSERT_EQ(backend.requestCount(), 2);
    const auto unmatched = backend.unmatchedRequests();
    ASSERT_EQ(unmatched.size(), 2);
    EXPECT_EQ(unmatched[0].method, "GET");
    EXPECT_EQ(unmatched[0].path, "/translate");
    EXPECT_EQ(unmatched[1].method, "DELETE");
    EXPECT_EQ(backend.hitCount("POST", "/translate"), 0);
}

TEST(FakeBackendRouting, QueryIsParsedApartFromThePath) {
    FakeBackend backend;
    backend.route("GET", "/dictionary/lookup", FakeReply::text("entry"));
    QNetworkAccessManager manager;

    const auto got = fetch(manager, requestFor(backend, "/dictionary/lookup?word=haus&from=de"));
    EXPECT_EQ(got.status, 200);
    const auto request = backend.lastRequest();
    EXPECT_EQ(request.path, "/dictionary/lookup");
    EXPECT_EQ(request.target, "/dictionary/lookup?word=haus&from=de");
    EXPECT_EQ(request.queryValue("word"), "haus");
    EXPECT_EQ(request.query.queryItemValue("from"), "de");
}

TEST(FakeBackendRouting, PrefixAndAnyMethodRoutesWithExactPathsWinning) {
    FakeBackend backend;
    backend.route("*", "/files/*", FakeReply::text("any file"));
    backend.route("GET", "/files/packages/*", FakeReply::text("package"));
    backend.route("GET", "/files/packages/index.json", FakeReply::text("index"));
    QNetworkAccessManager manager;

    EXPECT_EQ(fetch(manager, requestFor(backend, "/files/packages/index.json")).body, "index");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/files/packages/de-en.zip")).body, "package");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/files/other"), "PUT", "x").body, "any file");
}

TEST(FakeBackendRouting, ReplySequenceIsUsedInOrderAndLastRepeats) {
    FakeBackend backend;
    backend.routeSequence("GET", "/token",
                          {FakeReply::withStatus(503), FakeReply::text("first"), FakeReply::text("again")});
    QNetworkAccessManager manager;

    EXPECT_EQ(fetch(manager, requestFor(backend, "/token")).status, 503);
    EXPECT_EQ(fetch(manager, requestFor(backend, "/token")).body, "first");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/token")).body, "again");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/token")).body, "again");
    EXPECT_EQ(backend.hitCount("GET", "/token"), 4);
}

TEST(FakeBackendRouting, RoutingAgainReplacesTheRoute) {
    FakeBackend backend;
    backend.route("GET", "/status", FakeReply::text("old"));
    backend.route("GET", "/status", FakeReply::text("new"));
    QNetworkAccessManager manager;
    EXPECT_EQ(fetch(manager, requestFor(backend, "/status")).body, "new");

    backend.removeRoute("GET", "/status");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/status")).status, 404);
}

TEST(FakeBackendRouting, HandlerSeesTheRequestAndDecidesTheReply) {
    FakeBackend backend;
    backend.routeHandler("POST", "/echo", [](const qvtest::RecordedRequest &request) {
        return FakeReply::json({{"got", request.jsonObject().value("q")},
                                {"auth", QString::fromUtf8(request.header("authorization"))}});
    });
    QNetworkAccessManager manager;
    QNetworkRequest request = requestFor(backend, "/echo");
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    request.setRawHeader("Authorization", "Bearer t0k");

    const auto got = fetch(manager, request, "POST", R"({"q":"Hello"})");
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.header("content-type"), "application/json");
    const QJsonObject answer = QJsonDocument::fromJson(got.body).object();
    EXPECT_EQ(answer.value("got").toString(), "Hello");
    EXPECT_EQ(answer.value("auth").toString(), "Bearer t0k");
}

TEST(FakeBackendRouting, ThrowingHandlerGives500AndServerKeepsServing) {
    FakeBackend backend;
    backend.routeHandler("GET", "/boom", [](const qvtest::RecordedRequest &) -> FakeReply {
        throw std::runtime_error("broken fixture");
    });
    backend.route("GET", "/fine", FakeReply::text("fine"));
    QNetworkAccessManager manager;

    const auto boom = fetch(manager, requestFor(backend, "/boom"));
    EXPECT_EQ(boom.status, 500);
    EXPECT_TRUE(boom.body.contains("broken fixture"));
    EXPECT_EQ(fetch(manager, requestFor(backend, "/fine")).body, "fine");
}

TEST(FakeBackendRouting, DelayedReplyArrivesAfterTheRequestIsLogged) {
    FakeBackend backend;
    backend.route("GET", "/slow", FakeReply::text("late").withDelay(300));
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(requestFor(backend, "/slow"));

    ASSERT_TRUE(backend.waitForRequests(1));
    EXPECT_FALSE(reply->isFinished());
    ASSERT_TRUE(qvtest::waitUntil([reply] { return reply->isFinished(); }));
    EXPECT_EQ(reply->readAll(), "late");
    delete reply;
}

TEST(FakeBackendRouting, KeptAliveRequestsShareOneConnection) {
    FakeBackend backend;
    backend.route("GET", "/a", FakeReply::text("a"));
    backend.route("GET", "/b", FakeReply::text("b").withDelay(50));
    QNetworkAccessManager manager;

    EXPECT_EQ(fetch(manager, requestFor(backend, "/a")).body, "a");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/b")).body, "b");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/a")).body, "a");
    ASSERT_EQ(backend.requestCount(), 3);
    EXPECT_EQ(backend.connectionCount(), 1);
    EXPECT_EQ(backend.requests()[0].connectionId, backend.requests()[2].connectionId);
}

TEST(FakeBackendRouting, ClosedConnectionReplyClosesAndClientReconnects) {
    FakeBackend backend;
    FakeReply closing = FakeReply::text("closing");
    closing.closeConnection = true;
    backend.route("GET", "/once", closing);
    backend.route("GET", "/bye", FakeReply::text("bye"));
    QNetworkAccessManager manager;
    const auto first = fetch(manager, requestFor(backend, "/once"));
    EXPECT_EQ(first.body, "closing");
    EXPECT_EQ(first.header("Connection"), "close");
    EXPECT_EQ(fetch(manager, requestFor(backend, "/bye")).body, "bye");
    EXPECT_EQ(backend.connectionCount(), 2);
}
