#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QVariantMap>

namespace qvtest {

// A scripted answer of the fake backend. Plain fields plus chainable setters:
//   FakeReply::json({{"ok", true}}).withDelay(200)
//   FakeReply::bytes(blob, "application/zip").throttled(4096, 20).abortAfter(10000)
struct FakeReply {
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QList<QPair<QByteArray, QByteArray>> headers; // sent after the ones the server writes
    QByteArray body;
    int delayMs = 0; // before the status line goes out

    // Streaming: chunkSize > 0 sends the body in pieces of that size every chunkIntervalMs.
    int chunkSize = 0;
    int chunkIntervalMs = 0;
    bool chunkedEncoding = false; // Transfer-Encoding: chunked instead of Content-Length
    // Close the connection after this many body bytes (-1: send everything).
    qint64 abortAfterBytes = -1;
    // Close the connection without answering at all.
    bool dropConnection = false;
    // Serve "Range: bytes=N-" / "N-M" / "-N" of a 200 body as 206, or 416 when out of range.
    bool honourRange = true;
    bool closeConnection = false; // "Connection: close" even when the client keeps alive

    static FakeReply text(const QByteArray &body, int status = 200);
    static FakeReply bytes(const QByteArray &body, const QByteArray &contentType = "application/octet-stream",
                           int status = 200);
    static FakeReply json(const QJsonObject &object, int status = 200);
    // Distinct names, so that json({{"key", "value"}}) stays unambiguous.
    static FakeReply jsonArray(const QJsonArray &array, int status = 200);
    static FakeReply jsonMap(const QVariantMap &map, int status = 200);
    static FakeReply withStatus(int status); // empty body
    // Connection closed with no answer. QNetworkAccessManager silently resends a request whose
    // connection closed before any answer byte, once: route drop() for good (or twice in a
    // sequence) to make such a client see the error.
    static FakeReply drop();

    FakeReply &withHeader(const QByteArray &name, const QByteArray &value);
    FakeReply &withDelay(int ms);
    FakeReply &throttled(int chunkBytes, int intervalMs);
    // Spreads the body over time at roughly this rate (chunks every 20 ms).
    FakeReply &atBytesPerSecond(int bytesPerSecond);
    FakeReply &abortAfter(qint64 bodyBytes);
    FakeReply &chunked(bool on = true);
    FakeReply &withoutRangeSupport();

    QByteArray header(const QByteArray &name) const;
};

} // namespace qvtest
