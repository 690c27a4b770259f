#pragma once

#include "RecordedRequest.h"

#include <QByteArray>

namespace qvtest {

// Incremental HTTP/1.x request parser: feed it bytes as they arrive, take complete requests out.
// Bodies come with Content-Length or chunked transfer coding; further pipelined requests stay
// buffered until asked for.
class HttpRequestParser {
public:
    enum class Result { NeedMore, Complete, Error };

    static constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
    static constexpr qsizetype kMaxBodyBytes = 512 * 1024 * 1024;

    void append(const QByteArray &data) { m_buffer.append(data); }
    // Parses as far as the buffer allows. After Complete, takeRequest() hands the request over
    // and parsing may continue with the next one.
    Result parse();
    RecordedRequest takeRequest();
    // The status to answer a malformed request with (400, 413, 431, 501).
    int errorStatus() const { return m_errorStatus; }
    // True once per request whose headers asked "Expect: 100-continue" while its body is pending.
    bool takeContinueRequest();
    bool hasBufferedData() const { return !m_buffer.isEmpty(); }

private:
    enum class Stage { RequestLine, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Done };

    bool readLine(QByteArray *line);
    Result fail(int status);
    Result parseRequestLine(const QByteArray &line);
    Result parseHeaderLine(const QByteArray &line);
    Result headersDone();

    QByteArray m_buffer;
    Stage m_stage = Stage::RequestLine;
    RecordedRequest m_request;
    qsizetype m_headerBytes = 0;
    qsizetype m_remaining = 0;
    bool m_continuePending = false;
    int m_errorStatus = 0;
};

} // namespace qvtest
