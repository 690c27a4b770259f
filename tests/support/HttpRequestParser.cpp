#include "HttpRequestParser.h"

namespace qvtest {

bool HttpRequestParser::readLine(QByteArray *line) {
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0)
        return false;
    *line = m_buffer.left(end);
    if (line->endsWith('\r'))
        line->chop(1);
    m_buffer.remove(0, end + 1);
    return true;
}

HttpRequestParser::Result HttpRequestParser::fail(int status) {
    m_errorStatus = status;
    return Result::Error;
}

HttpRequestParser::Result HttpRequestParser::parseRequestLine(const QByteArray &line) {
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() != 3 || fields[0].isEmpty() || fields[1].isEmpty())
        return fail(400);
    if (!fields[2].startsWith("HTTP/1."))
        return fail(fields[2].startsWith("HTTP/") ? 505 : 400);
    m_request = RecordedRequest();
    m_request.method = fields[0];
    m_request.target = fields[1];
    m_request.httpVersion = fields[2];
    m_request.decodeTarget();
    m_stage = Stage::Headers;
    return Result::NeedMore;
}

HttpRequestParser::Result HttpRequestParser::parseHeaderLine(const QByteArray &line) {
    if (line.startsWith(' ') || line.startsWith('\t')) { // obsolete line folding
        if (m_request.headers.isEmpty())
            return fail(400);
        m_request.headers.last().second.append(' ').append(line.trimmed());
        return Result::NeedMore;
    }
    const int colon = line.indexOf(':');
    if (colon <= 0)
        return fail(400);
    m_request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    return Result::NeedMore;
}

HttpRequestParser::Result HttpRequestParser::headersDone() {
    const QByteArray transferEncoding = m_request.header("Transfer-Encoding").toLower();
    if (!transferEncoding.isEmpty()) {
        if (!transferEncoding.trimmed().endsWith("chunked"))
            return fail(501);
        m_stage = Stage::ChunkSize;
    } else {
        QByteArray length;
        for (const auto &h : m_request.headers) {
            if (h.first.compare("Content-Length", Qt::CaseInsensitive) != 0)
                continue;
            if (!length.isNull() && length != h.second)
                return fail(400);
            length = h.second;
        }
        bool ok = true;
        const qlonglong size = length.isNull() ? 0 : length.toLongLong(&ok);
        if (!ok || size < 0)
            return fail(400);
        if (size > kMaxBodyBytes)
            return fail(413);
        m_remaining = size;
        m_stage = m_remaining > 0 ? Stage::Body : Stage::Done;
    }
    m_continuePending = m_stage != Stage::Done &&
                        m_request.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0;
    return Result::NeedMore;
}

HttpRequestParser::Result HttpRequestParser::parse() {
    QByteArray line;
    for (;;) {
        switch (m_stage) {
        case Stage::RequestLine:
            if (!readLine(&line))
                return m_buffer.size() > kMaxHeaderBytes ? fail(431) : Result::NeedMore;
            if (line.isEmpty()) // stray line breaks between requests are allowed
                continue;
            m_headerBytes = line.size();
            if (parseRequestLine(line) == Result::Error)
                return Result::Error;
            break;
        case Stage::Headers:
            if (!readLine(&line))
                return m_headerBytes + m_buffer.size() > kMaxHeaderBytes ? fail(431) : Result::NeedMore;
            m_headerBytes += line.size() + 2;
            if (m_headerBytes > kMaxHeaderBytes)
                return fail(431);
            if (line.isEmpty()) {
                if (headersDone() == Result::Error)
                    return Result::Error;
            } else if (parseHeaderLine(line) == Result::Error) {
                return Result::Error;
            }
            break;
        case Stage::Body:
        case Stage::ChunkData: {
            const qsizetype take = qMin(m_remaining, m_buffer.size());
            m_request.body.append(m_buffer.constData(), take);
            m_buffer.remove(0, take);
            m_remaining -= take;
            if (m_remaining > 0)
                return Result::NeedMore;
            m_stage = m_stage == Stage::Body ? Stage::Done : Stage::ChunkEnd;
            break;
        }
        case Stage::ChunkSize: {
            if (!readLine(&line))
                return m_buffer.size() > 1024 ? fail(400) : Result::NeedMore;
            const int semi = line.indexOf(';');
            bool ok = false;
            const qlonglong size = (semi < 0 ? line : line.left(semi)).trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0)
                return fail(400);
            if (m_request.body.size() + size > kMaxBodyBytes)
                return fail(413);
            m_remaining = size;
            m_stage = size == 0 ? Stage::Trailers : Stage::ChunkData;
            break;
        }
        case Stage::ChunkEnd:
            if (!readLine(&line))
                return m_buffer.size() > 2 ? fail(400) : Result::NeedMore;
            if (!line.isEmpty())
                return fail(400);
            m_stage = Stage::ChunkSize;
            break;
        case Stage::Trailers:
            if (!readLine(&line))
                return m_buffer.size() > kMaxHeaderBytes ? fail(431) : Result::NeedMore;
            if (line.isEmpty())
                m_stage = Stage::Done;
            else if (parseHeaderLine(line) == Result::Error)
                return Result::Error;
            break;
        case Stage::Done:
            return Result::Complete;
        }
    }
}

RecordedRequest HttpRequestParser::takeRequest() {
    RecordedRequest request = std::move(m_request);
    m_request = RecordedRequest();
    request.decodeBody();
    m_stage = Stage::RequestLine;
    m_continuePending = false;
    return request;
}

bool HttpRequestParser::takeContinueRequest() {
    const bool pending = m_continuePending;
    m_continuePending = false;
    return pending;
}

} // namespace qvtest
