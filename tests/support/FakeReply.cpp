#include "FakeReply.h"

#include <QJsonDocument>

#include <algorithm>

namespace qvtest {

FakeReply FakeReply::text(const QByteArray &body, int status) {
    FakeReply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

FakeReply FakeReply::bytes(const QByteArray &body, const QByteArray &contentType, int status) {
    FakeReply reply;
    reply.status = status;
    reply.contentType = contentType;
    reply.body = body;
    return reply;
}

FakeReply FakeReply::json(const QJsonObject &object, int status) {
    return bytes(QJsonDocument(object).toJson(QJsonDocument::Compact), "application/json", status);
}

FakeReply FakeReply::jsonArray(const QJsonArray &array, int status) {
    return bytes(QJsonDocument(array).toJson(QJsonDocument::Compact), "application/json", status);
}

FakeReply FakeReply::jsonMap(const QVariantMap &map, int status) {
    return json(QJsonObject::fromVariantMap(map), status);
}

FakeReply FakeReply::withStatus(int status) {
    FakeReply reply;
    reply.status = status;
    reply.contentType.clear();
    return reply;
}

FakeReply FakeReply::drop() {
    FakeReply reply;
    reply.dropConnection = true;
    return reply;
}

FakeReply &FakeReply::withHeader(const QByteArray &name, const QByteArray &value) {
    headers.append({name, value});
    return *this;
}

FakeReply &FakeReply::withDelay(int ms) {
    delayMs = ms;
    return *this;
}

FakeReply &FakeReply::throttled(int chunkBytes, int intervalMs) {
    chunkSize = std::max(1, chunkBytes);
    chunkIntervalMs = std::max(0, intervalMs);
    return *this;
}

FakeReply &FakeReply::atBytesPerSecond(int bytesPerSecond) {
    constexpr int intervalMs = 20;
    return throttled(std::max(1, bytesPerSecond * intervalMs / 1000), intervalMs);
}

FakeReply &FakeReply::abortAfter(qint64 bodyBytes) {
    abortAfterBytes = std::max<qint64>(0, bodyBytes);
    return *this;
}

FakeReply &FakeReply::chunked(bool on) {
    chunkedEncoding = on;
    return *this;
}

FakeReply &FakeReply::withoutRangeSupport() {
    honourRange = false;
    return *this;
}

QByteArray FakeReply::header(const QByteArray &name) const {
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

} // namespace qvtest
