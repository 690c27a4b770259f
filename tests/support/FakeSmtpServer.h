#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QTcpServer;
class QTcpSocket;

namespace qvtest {

// A loopback SMTP server for the support mailer: plain SMTP (EHLO, AUTH
// PLAIN, MAIL FROM, RCPT TO, DATA, QUIT), recording what each client sent. It
// can refuse AUTH, or hold a connection (accept and never answer). Like
// FakeBackend it runs on the event loop of the thread that made it, so tests
// spin that loop meanwhile.
//
//   qvtest::FakeSmtpServer smtp;
//   smtp.setRefuseAuthentication(true);
//   qputenv("QV_SUPPORT_SMTP_URL", smtp.url().toUtf8());
//   ... send, then qvtest::waitUntil([&] { return smtp.messages().size() == 1; }) ...
class FakeSmtpServer : public QObject {
    Q_OBJECT
public:
    struct Message {
        QString user, password; // from AUTH PLAIN
        QString mailFrom;       // the MAIL FROM path, without <>
        QStringList recipients; // the RCPT TO paths
        QByteArray data;        // DATA as received, dot-stuffing undone, CRLF kept

        // The header's value, unfolded; empty when absent.
        QString header(const QString &name) const;
        QStringList headerNames() const;
        // The body as a mail program shows it: quoted-printable decoded, UTF-8, line
        // breaks "\n", without the line break that ends every message.
        QString bodyText() const;
    };

    explicit FakeSmtpServer(QObject *parent = nullptr);
    ~FakeSmtpServer() override;

    bool isListening() const;
    QString url() const; // smtp://127.0.0.1:PORT

    void setRefuseAuthentication(bool refuse) { m_refuseAuth = refuse; }
    // New connections get no greeting and no answer until the server is deleted.
    void setHoldConnections(bool hold) { m_hold = hold; }

    int connectionCount() const { return m_connections; }
    // The verbs of every command received, in order ("EHLO", "AUTH", ...).
    QStringList verbs() const { return m_verbs; }
    QList<Message> messages() const { return m_messages; }

private:
    struct Session {
        QByteArray buffer;
        bool inData = false;
        bool awaitingAuth = false;
        Message message;
    };
    void accept();
    void readFrom(QTcpSocket *socket);
    void command(QTcpSocket *socket, Session &session, const QByteArray &line);
    void authenticate(QTcpSocket *socket, Session &session, const QByteArray &encoded);

    std::unique_ptr<QTcpServer> m_server;
    QHash<QTcpSocket *, Session> m_sessions;
    bool m_refuseAuth = false;
    bool m_hold = false;
    int m_connections = 0;
    QStringList m_verbs;
    QList<Message> m_messages;
};

} // namespace qvtest
