#include "HttpTestClient.h"
#include "support/FakeBackend.h"

#include <gtest/gtest.h>

using qvtest::FakeBackend;
using qvtest::FakeReply;
using qvtest::fetch;

namespace {

QByteArray patternBody(int size) {
    QByteArray body(size, '\0');
    for (int i = 0; i < size; ++i)
        body[i] = char('a' + i % 26);
    return body;
}

QNetworkRequest rangeRequest(const FakeBackend &backend, const QString &path, const QByteArray &range) {
    QNetworkRequest request(backend.url(path));
    request.setRawHeader("Range", range);
    return request;
}

} // namespace

TEST(FakeBackendStreaming, AnswersByteRangesWith206AndContentRange) {
    FakeBackend backend;
    const QByteArray body = patternBody(1000);
    backend.route("GET", "/model.bin", FakeReply::bytes(body));
    QNetworkAccessManager manager;

    const auto open = fetch(manager, rangeRequest(backend, "/model.bin", "bytes=600-"));
    EXPECT_EQ(open.status, 206);
    EXPECT_EQ(open.body, body.mid(600));
    EXPECT_EQ(open.header("Content-Range"), "bytes 600-999/1000");
    EXPECT_EQ(open.header("Content-Length"), "400");

    const auto closed = fetch(manager, rangeRequest(backend, "/model.bin", "bytes=10-19"));
    EXPECT_EQ(closed.status, 206);
    EXPECT_EQ(closed.body, body.mid(10, 10));
    EXPECT_EQ(closed.header("Content-Range"), "bytes 10-19/1000");

    const auto pastEnd = fetch(manager, rangeRequest(backend, "/model.bin", "bytes=990-5000"));
    EXPECT_EQ(pastEnd.body, body.mid(990));
    EXPECT_EQ(pastEnd.header("Content-Range"), "bytes 990-999/1000");

    const auto suffix = fetch(manager, rangeRequest(backend, "/model.bin", "bytes=-5"));
    EXPECT_EQ(suffix.body, body.right(5));

    const auto whole = fetch(manager, QNetworkRequest(backend.url("/model.bin")));
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.header("Accept-Ranges"), "bytes");
    EXPECT_EQ(whole.body, body);
    EXPECT_EQ(backend.requests()[0].header("range"), "bytes=600-");
}

TEST(FakeBackendStreaming, AnswersUnsatisfiableRangesWith416) {
    FakeBackend backend;
    backend.route("GET", "/model.bin", FakeReply::bytes(patternBody(100)));
    QNetworkAccessManager manager;

    for (const QByteArray &range :
         {QByteArray("bytes=100-"), QByteArray("bytes=500-600"), QByteArray("bytes=-0")}) {
        const auto got = fetch(manager, rangeRequest(backend, "/model.bin", range));
        EXPECT_EQ(got.status, 416) << range.constData();
        EXPECT_EQ(got.header("Content-Range"), "bytes */100") << range.constData();
        EXPECT_TRUE(got.body.isEmpty());
    }
}

TEST(FakeBackendStreaming, IgnoresRangesItCannotOrMustNotHonour) {
    FakeBackend backend;
    const QByteArray body = patternBody(100);
    backend.route("GET", "/plain", FakeReply::bytes(body).withoutRangeSupport());
    backend.route("GET", "/error", FakeReply::text("nope", 500));
    backend.route("GET", "/ok", FakeReply::bytes(body));
    QNetworkAccessManager manager;

    const auto plain = fetch(manager, rangeRequest(backend, "/plain", "bytes=50-"));
    EXPECT_EQ(plain.status, 200);
    EXPECT_EQ(plain.body, body);
    EXPECT_TRUE(plain.header("Accept-Ranges").isEmpty());
    EXPECT_EQ(fetch(manager, rangeRequest(backend, "/error", "bytes=1-")).status, 500);
    // Several ranges, a reversed range or a foreign unit: the whole body.
    for (const QByteArray &range :
         {QByteArray("bytes=0-1,5-6"), QByteArray("bytes=9-2"), QByteArray("items=1-2")}) {
        const auto got = fetch(manager, rangeRequest(backend, "/ok", range));
        EXPECT_EQ(got.status, 200) << range.constData();
        EXPECT_EQ(got.body, body) << range.constData();
    }
}

TEST(FakeBackendStreaming, ThrottledBodyArrivesCompleteInSeveralPieces) {
    FakeBackend backend;
    const QByteArray body = patternBody(64 * 1024);
    backend.route("GET", "/slow.zip", FakeReply::bytes(body, "application/zip").throttled(8 * 1024, 15));
    backend.route("GET", "/rate.zip", FakeReply::bytes(body, "application/zip").atBytesPerSecond(400 * 1024));
    QNetworkAccessManager manager;

    const auto slow = fetch(manager, QNetworkRequest(backend.url("/slow.zip")));
    EXPECT_EQ(slow.error, QNetworkReply::NoError);
    EXPECT_EQ(slow.body, body);
    EXPECT_GE(slow.readChunks, 4);
    EXPECT_EQ(slow.header("Content-Length"), "65536");

    const auto rate = fetch(manager, QNetworkRequest(backend.url("/rate.zip")));
    EXPECT_EQ(rate.body, body);
    EXPECT_GE(rate.readChunks, 4);
}

TEST(FakeBackendStreaming, ChunkedTransferEncodingCarriesTheWholeBody) {
    FakeBackend backend;
    const QByteArray body = patternBody(10000);
    backend.route("GET", "/stream", FakeReply::bytes(body).chunked().throttled(1000, 5));
    backend.route("GET", "/next", FakeReply::text("same connection"));
    QNetworkAccessManager manager;

    const auto got = fetch(manager, QNetworkRequest(backend.url("/stream")));
    EXPECT_EQ(got.error, QNetworkReply::NoError);
    EXPECT_EQ(got.header("Transfer-Encoding"), "chunked");
    EXPECT_TRUE(got.header("Content-Length").isEmpty());
    EXPECT_EQ(got.body, body);
    EXPECT_EQ(fetch(manager, QNetworkRequest(backend.url("/next"))).body, "same connection");
    EXPECT_EQ(backend.connectionCount(), 1);
}

TEST(FakeBackendStreaming, AbortMidStreamGivesTheClientAnErrorAndFewerBytes) {
    FakeBackend backend;
    const QByteArray body = patternBody(50000);
    backend.route("GET", "/cut.bin", FakeReply::bytes(body).throttled(4096, 5).abortAfter(20000));
    backend.route("GET", "/cut-now.bin", FakeReply::bytes(body).abortAfter(1000));
    backend.route("GET", "/cut-chunked.bin", FakeReply::bytes(body).chunked().abortAfter(3000));
    QNetworkAccessManager manager;

    for (const char *path : {"/cut.bin", "/cut-now.bin", "/cut-chunked.bin"}) {
        const auto got = fetch(manager, QNetworkRequest(backend.url(path)));
        EXPECT_TRUE(got.finished) << qPrintable(path);
        EXPECT_NE(got.error, QNetworkReply::NoError) << qPrintable(path);
        EXPECT_LT(got.body.size(), body.size()) << qPrintable(path);
        EXPECT_EQ(got.body, body.left(got.body.size())) << qPrintable(path);
    }
}

TEST(FakeBackendStreaming, AbortAppliesToTheRequestedRange) {
    FakeBackend backend;
    const QByteArray body = patternBody(10000);
    backend.route("GET", "/resume.bin", FakeReply::bytes(body).abortAfter(6000));
    QNetworkAccessManager manager;

    const auto cut = fetch(manager, rangeRequest(backend, "/resume.bin", "bytes=2000-"));
    EXPECT_NE(cut.error, QNetworkReply::NoError);
    EXPECT_EQ(cut.header("Content-Range"), "bytes 2000-9999/10000");
    const auto rest = fetch(manager, rangeRequest(backend, "/resume.bin", "bytes=5000-"));
    EXPECT_EQ(rest.error, QNetworkReply::NoError);
    EXPECT_EQ(rest.body, body.mid(5000));
}

TEST(FakeBackendStreaming, DroppedConnectionIsAnErrorWithoutAnswer) {
    FakeBackend backend;
    backend.route("GET", "/gone", FakeReply::drop());
    QNetworkAccessManager manager;
    const auto got = fetch(manager, QNetworkRequest(backend.url("/gone")));
    EXPECT_TRUE(got.finished);
    EXPECT_NE(got.error, QNetworkReply::NoError);
    EXPECT_EQ(got.status, 0);
    EXPECT_GE(backend.hitCount("GET", "/gone"), 1);
}

TEST(FakeBackendStreaming, HeadGetsHeadersWithoutBody) {
    FakeBackend backend;
    backend.route("*", "/file", FakeReply::bytes(patternBody(321)));
    QNetworkAccessManager manager;
    const auto got = fetch(manager, QNetworkRequest(backend.url("/file")), "HEAD");
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.header("Content-Length"), "321");
    EXPECT_TRUE(got.body.isEmpty());
    EXPECT_EQ(fetch(manager, QNetworkRequest(backend.url("/file"))).body.size(), 321);
}

TEST(FakeBackendStreaming, ClosingAllConnectionsCutsAStreamInProgress) {
    FakeBackend backend;
    backend.route("GET", "/long", FakeReply::bytes(patternBody(100000)).throttled(1000, 20));
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(backend.url("/long")));
    qint64 received = 0;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] { received += reply->readAll().size(); });
    ASSERT_TRUE(qvtest::waitUntil([&] { return received > 0; }));
    backend.closeAllConnections();
    ASSERT_TRUE(qvtest::waitUntil([&] { return reply->isFinished(); }));
    EXPECT_NE(reply->error(), QNetworkReply::NoError);
    EXPECT_LT(received, 100000);
    delete reply;
}

TEST(FakeBackendStreaming, ClientCancellingDuringDelayOrStreamLeavesTheServerServing) {
    FakeBackend backend;
    backend.route("GET", "/slow", FakeReply::text("late").withDelay(200));
    backend.route("GET", "/long", FakeReply::bytes(patternBody(200000)).throttled(2000, 10));
    backend.route("GET", "/quick", FakeReply::text("quick"));
    QNetworkAccessManager manager;

    QNetworkReply *delayed = manager.get(QNetworkRequest(backend.url("/slow")));
    QNetworkReply *streaming = manager.get(QNetworkRequest(backend.url("/long")));
    ASSERT_TRUE(backend.waitForRequests(2));
    ASSERT_TRUE(qvtest::waitUntil([&] { return streaming->bytesAvailable() > 0; }));
    delayed->abort();
    streaming->abort();
    qvtest::spin(300);
    delete delayed;
    delete streaming;

    EXPECT_EQ(fetch(manager, QNetworkRequest(backend.url("/quick"))).body, "quick");
}

TEST(FakeBackendStreaming, DestroyingTheBackendMidStreamEndsTheClientsReply) {
    QNetworkAccessManager manager;
    QNetworkReply *reply = nullptr;
    {
        FakeBackend backend;
        // 20 s of body: the backend is surely gone before the last byte, however loaded the machine.
        backend.route("GET", "/long", FakeReply::bytes(patternBody(200000)).throttled(1000, 100));
        reply = manager.get(QNetworkRequest(backend.url("/long")));
        ASSERT_TRUE(qvtest::waitUntil([&] { return reply->bytesAvailable() > 0; }));
    }
    ASSERT_TRUE(qvtest::waitUntil([&] { return reply->isFinished(); }));
    EXPECT_NE(reply->error(), QNetworkReply::NoError);
    delete reply;
}

TEST(FakeBackendStreaming, ChunksWithoutIntervalFollowTheSocketDraining) {
    FakeBackend backend;
    const QByteArray body = patternBody(300000);
    backend.route("GET", "/burst", FakeReply::bytes(body).throttled(16 * 1024, 0));
    QNetworkAccessManager manager;
    const auto got = fetch(manager, QNetworkRequest(backend.url("/burst")));
    EXPECT_EQ(got.error, QNetworkReply::NoError);
    EXPECT_EQ(got.body, body);
}
