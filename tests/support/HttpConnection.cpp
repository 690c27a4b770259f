#include "HttpConnection.h"

#include "ByteRange.h"

namespace qvtest {

namespace {

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 202:
        return "Accepted";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 413:
        return "Content Too Large";
    case 416:
        return "Range Not Satisfiable";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}

bool bodyForbidden(int status) {
    return (status >= 100 && status < 200) || status == 204 || status == 304;
}

bool wantsKeepAlive(const RecordedRequest &request) {
    const QByteArray connection = request.header("Connection").toLower();
    if (request.httpVersion == "HTTP/1.0")
        return connection.contains("keep-alive");
    return !connection.contains("close");
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, int id, Resolver resolver, QObject *parent)
    : QObject(parent), m_socket(socket), m_id(id), m_resolver(std::move(resolver)) {
    socket->setParent(this);
    m_streamTimer.setSingleShot(true);
    connect(&m_streamTimer, &QTimer::timeout, this, &HttpConnection::streamNext);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &HttpConnection::onDisconnected);
    // Unthrottled chunked streams go out as fast as the socket drains.
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_chunkSize > 0 && !m_streamTimer.isActive() && m_sent < m_limit && m_socket &&
            m_socket->bytesToWrite() == 0 && m_streamTimer.interval() == 0)
            streamNext();
    });
}

HttpConnection::~HttpConnection() {
    m_streamTimer.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void HttpConnection::abort() {
    m_closed = true;
    m_streamTimer.stop();
    if (m_socket)
        m_socket->abort();
    onDisconnected();
}

void HttpConnection::onReadyRead() {
    if (!m_socket)
        return;
    m_parser.append(m_socket->readAll());
    processBuffered();
}

void HttpConnection::processBuffered() {
    if (m_busy || m_closed || !m_socket)
        return;
    const HttpRequestParser::Result result = m_parser.parse();
    if (m_parser.takeContinueRequest())
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    if (result == HttpRequestParser::Result::NeedMore)
        return;
    if (result == HttpRequestParser::Result::Error) {
        sendError(m_parser.errorStatus());
        return;
    }
    m_busy = true;
    RecordedRequest request = m_parser.takeRequest();
    request.connectionId = m_id;
    m_keepAlive = wantsKeepAlive(request);
    const FakeReply reply = m_resolver(request);
    if (reply.delayMs > 0)
        QTimer::singleShot(reply.delayMs, this, [this, reply, request] { respond(reply, request); });
    else
        respond(reply, request);
}

void HttpConnection::sendError(int status) {
    FakeReply reply = FakeReply::text(reasonPhrase(status), status);
    m_keepAlive = false;
    m_busy = true;
    m_chunkedEncoding = false;
    writeHead(reply, {}, reply.body.size());
    writeBody(reply.body);
    finishResponse(false);
}

void HttpConnection::writeHead(const FakeReply &reply, const QList<QPair<QByteArray, QByteArray>> &extra,
                               qint64 contentLength) {
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    auto add = [&head, &reply](const QByteArray &name, const QByteArray &value) {
        if (reply.header(name).isNull())
            head += name + ": " + value + "\r\n";
    };
    if (!reply.contentType.isEmpty())
        add("Content-Type", reply.contentType);
    if (m_chunkedEncoding)
        add("Transfer-Encoding", "chunked");
    else if (!bodyForbidden(reply.status))
        add("Content-Length", QByteArray::number(contentLength));
    add("Connection", m_keepAlive ? "keep-alive" : "close");
    for (const auto &h : extra)
        add(h.first, h.second);
    for (const auto &h : reply.headers)
        head += h.first + ": " + h.second + "\r\n";
    m_socket->write(head + "\r\n");
}

void HttpConnection::writeBody(const QByteArray &data) {
    if (data.isEmpty() || !m_socket)
        return;
    if (m_chunkedEncoding)
        m_socket->write(QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n");
    else
        m_socket->write(data);
}

void HttpConnection::respond(const FakeReply &reply, const RecordedRequest &request) {
    if (!m_socket || m_closed)
        return;
    m_chunkedEncoding = false;
    if (reply.dropConnection) {
        m_keepAlive = false;
        finishResponse(true);
        return;
    }
    if (reply.closeConnection)
        m_keepAlive = false;

    FakeReply answer = reply;
    QList<QPair<QByteArray, QByteArray>> extra;
    QByteArray body = reply.body;
    const bool isGet = request.method == "GET" || request.method == "HEAD";
    if (reply.honourRange && reply.status == 200 && isGet) {
        extra.append(qMakePair(QByteArray("Accept-Ranges"), QByteArray("bytes")));
        const QByteArray rangeHeader = request.header("Range");
        const ByteRange range =
            rangeHeader.isEmpty() ? ByteRange() : ByteRange::resolve(rangeHeader, body.size());
        if (range.kind == ByteRange::Kind::Partial) {
            answer.status = 206;
            extra.append(qMakePair(QByteArray("Content-Range"), range.contentRange(body.size())));
            body = body.mid(range.first, range.last - range.first + 1);
        } else if (range.kind == ByteRange::Kind::Unsatisfiable) {
            answer.status = 416;
            answer.contentType.clear();
            extra.append(qMakePair(QByteArray("Content-Range"), range.contentRange(body.size())));
            body.clear();
        }
    }
    if (request.method == "HEAD" || bodyForbidden(answer.status)) {
        m_chunkedEncoding = false;
        writeHead(answer, extra, body.size());
        finishResponse(false);
        return;
    }

    m_chunkedEncoding = answer.chunkedEncoding;
    writeHead(answer, extra, body.size());
    m_body = body;
    m_sent = 0;
    m_aborting = answer.abortAfterBytes >= 0 && answer.abortAfterBytes < body.size();
    m_limit = m_aborting ? answer.abortAfterBytes : body.size();
    m_chunkSize = answer.chunkSize;
    m_streamTimer.setInterval(answer.chunkIntervalMs);
    if (m_chunkSize <= 0)
        m_chunkSize = int(qMin<qint64>(m_limit, 1 << 30));
    streamNext();
}

void HttpConnection::streamNext() {
    if (!m_socket || m_closed)
        return;
    const qint64 take = qMin<qint64>(m_chunkSize, m_limit - m_sent);
    if (take > 0) {
        writeBody(m_body.mid(m_sent, take));
        m_sent += take;
    }
    if (m_sent >= m_limit) {
        if (m_chunkedEncoding && !m_aborting)
            m_socket->write("0\r\n\r\n");
        m_body.clear();
        m_chunkSize = 0;
        finishResponse(m_aborting);
        return;
    }
    // With an interval the timer paces the chunks; without one the bytesWritten signal does.
    if (m_streamTimer.interval() > 0)
        m_streamTimer.start();
}

void HttpConnection::finishResponse(bool aborted) {
    if (!m_socket)
        return;
    if (aborted || !m_keepAlive) {
        m_closed = true;
        // Sends what is queued, then closes: the client sees a short body and a closed connection.
        m_socket->disconnectFromHost();
        return;
    }
    m_busy = false;
    if (m_parser.hasBufferedData())
        QTimer::singleShot(0, this, &HttpConnection::processBuffered);
}

void HttpConnection::onDisconnected() {
    if (m_reportedClosed)
        return;
    m_reportedClosed = true;
    m_closed = true;
    m_streamTimer.stop();
    emit closed(this);
}

} // namespace qvtest
