#pragma once

#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <memory>

namespace qvtest {

// What a QNetworkAccessManager client saw of one exchange.
struct FetchResult {
    bool finished = false;
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    int readChunks = 0; // how many readyRead deliveries carried data
    QList<QPair<QByteArray, QByteArray>> headers;

    QByteArray header(const QByteArray &name) const {
        for (const auto &h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        return {};
    }
};

// Sends one request and spins the event loop until it finishes.
inline FetchResult fetch(QNetworkAccessManager &manager, const QNetworkRequest &request,
                         const QByteArray &method = "GET", const QByteArray &body = {},
                         QHttpMultiPart *multipart = nullptr, int timeoutMs = 10000) {
    FetchResult result;
    // QNetworkAccessManager waits for a body after a custom "HEAD" verb: use its own head().
    QNetworkReply *reply = multipart          ? manager.sendCustomRequest(request, method, multipart)
                           : method == "HEAD" ? manager.head(request)
                                              : manager.sendCustomRequest(request, method, body);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&result, reply] {
        const QByteArray data = reply->readAll();
        if (!data.isEmpty()) {
            result.body += data;
            ++result.readChunks;
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [&result, reply] {
        result.body += reply->readAll();
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.error = reply->error();
        result.headers = reply->rawHeaderPairs();
        result.finished = true;
    });
    waitUntil([&result] { return result.finished; }, timeoutMs);
    if (!result.finished) {
        ADD_FAILURE() << "no answer within " << timeoutMs << " ms";
        reply->disconnect();
        reply->abort();
    }
    reply->deleteLater();
    return result;
}

} // namespace qvtest
