#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QUrl>

#include <memory>

class QTcpServer;
class QTcpSocket;

namespace qvtest {

// A hostile loopback server: it answers every request with bytes the test scripts, for
// replies no well-behaved server sends (broken status lines, chunked garbage, bodies that
// drip one byte at a time or never end) and for redirects over TLS. It runs on the event
// loop of the thread that made it, like FakeBackend, so tests spin that loop meanwhile.
//
//   qvtest::RawHttpServer server;
//   server.setAnswer({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "zz\r\nhi\r\n0\r\n\r\n"});
//   ... point a client at server.url("/api/app/config") ...
class RawHttpServer : public QObject {
    Q_OBJECT
public:
    struct Answer {
        QByteArray head;        // status line and headers, ending with the blank line
        QByteArray body;        // written after the head
        int dripIntervalMs = 0; // > 0: the body goes out one byte per interval
        bool endless = false;   // the body is written again and again while the client reads
        bool closeAfter = true; // close the connection once the body is out (not when endless)
    };

    explicit RawHttpServer(QObject *parent = nullptr);
    ~RawHttpServer() override;

    // Listens on 127.0.0.1 (an ephemeral port); with a configuration, speaks TLS.
    bool listen();
    bool listenTls(const QSslConfiguration &configuration);
    bool isListening() const;

    // http(s)://127.0.0.1:PORT + path
    QUrl url(const QString &path = QStringLiteral("/")) const;

    void setAnswer(const Answer &answer) { m_answer = answer; }

    int requestCount() const { return m_requestHeads.size(); }
    QList<QByteArray> requestHeads() const { return m_requestHeads; }
    // Body bytes written so far, over every connection.
    qint64 bodyBytesWritten() const { return m_bodyBytesWritten; }

private:
    void accept();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket);
    void drip(QTcpSocket *socket, int position);
    void refill(QTcpSocket *socket);

    std::unique_ptr<QTcpServer> m_server;
    bool m_tls = false;
    Answer m_answer;
    QList<QByteArray> m_requestHeads;
    qint64 m_bodyBytesWritten = 0;
};

} // namespace qvtest
