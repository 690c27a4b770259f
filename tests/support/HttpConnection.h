#pragma once

#include "FakeReply.h"
#include "HttpRequestParser.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace qvtest {

// One accepted client connection of the fake backend: parses requests, asks the backend for
// each answer, then writes it (delayed, throttled, ranged or cut short as the reply says).
// Requests on a kept-alive connection are answered one after the other.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    // Logs the request and picks its reply; called once per complete request.
    using Resolver = std::function<FakeReply(RecordedRequest &request)>;

    HttpConnection(QTcpSocket *socket, int id, Resolver resolver, QObject *parent);
    ~HttpConnection() override;

    int id() const { return m_id; }
    void abort();

signals:
    void closed(qvtest::HttpConnection *connection);

private:
    void onReadyRead();
    void processBuffered();
    void respond(const FakeReply &reply, const RecordedRequest &request);
    void sendError(int status);
    void writeHead(const FakeReply &reply, const QList<QPair<QByteArray, QByteArray>> &extra,
                   qint64 contentLength);
    void writeBody(const QByteArray &data);
    void streamNext();
    void finishResponse(bool aborted);
    void onDisconnected();

    QPointer<QTcpSocket> m_socket;
    int m_id;
    Resolver m_resolver;
    HttpRequestParser m_parser;
    bool m_busy = false;
    bool m_keepAlive = true;
    bool m_closed = false;
    bool m_reportedClosed = false;

    // The body being streamed.
    QByteArray m_body;
    qint64 m_sent = 0;
    qint64 m_limit = 0; // stop after this many bytes (the abort point or the body size)
    bool m_aborting = false;
    bool m_chunkedEncoding = false;
    int m_chunkSize = 0;
    QTimer m_streamTimer;
};

} // namespace qvtest
