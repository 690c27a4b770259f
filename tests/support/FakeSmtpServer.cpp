#include "support/FakeSmtpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace qvtest {

namespace {

QByteArray pathOf(const QByteArray &argument) {
    const qsizetype open = argument.indexOf('<');
    const qsizetype close = argument.indexOf('>', open);
    return open < 0 || close < 0 ? argument.trimmed() : argument.mid(open + 1, close - open - 1);
}

int hexValue(char digit) {
    return QByteArray("0123456789ABCDEF").indexOf(char(toupper(digit)));
}

} // namespace

QString FakeSmtpServer::Message::header(const QString &name) const {
    const qsizetype end = data.indexOf("\r\n\r\n");
    QByteArray head = data.left(end < 0 ? data.size() : end);
    head.replace("\r\n ", " ").replace("\r\n\t", " ");
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && QString::fromUtf8(line.left(colon)).compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
    }
    return {};
}

QStringList FakeSmtpServer::Message::headerNames() const {
    QStringList names;
    const QByteArray head = data.left(data.indexOf("\r\n\r\n"));
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && !line.startsWith(' ') && !line.startsWith('\t'))
            names.append(QString::fromUtf8(line.left(colon)));
    }
    return names;
}

QString FakeSmtpServer::Message::bodyText() const {
    const qsizetype start = data.indexOf("\r\n\r\n");
    const QByteArray encoded = start < 0 ? QByteArray() : data.mid(start + 4);
    QByteArray decoded;
    for (qsizetype at = 0; at < encoded.size(); ++at) {
        const char ch = encoded.at(at);
        if (ch == '=' && encoded.mid(at + 1, 2) == "\r\n") {
            at += 2; // soft line break
        } else if (ch == '=' && at + 2 < encoded.size() && hexValue(encoded.at(at + 1)) >= 0 &&
                   hexValue(encoded.at(at + 2)) >= 0) {
            decoded += char(hexValue(encoded.at(at + 1)) * 16 + hexValue(encoded.at(at + 2)));
            at += 2;
        } else {
            decoded += ch;
        }
    }
    // The line break that ends the data belongs to the transport, not to the text.
    if (decoded.endsWith("\r\n"))
        decoded.chop(2);
    return QString::fromUtf8(decoded).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

FakeSmtpServer::FakeSmtpServer(QObject *parent) : QObject(parent), m_server(std::make_unique<QTcpServer>()) {
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server.get(), &QTcpServer::newConnection, this, &FakeSmtpServer::accept);
}

FakeSmtpServer::~FakeSmtpServer() {
    for (QTcpSocket *socket : m_sessions.keys())
        socket->abort();
}

bool FakeSmtpServer::isListening() const {
    return m_server->isListening();
}

QString FakeSmtpServer::url() const {
    return QStringLiteral("smtp://127.0.0.1:%1").arg(m_server->serverPort());
}

void FakeSmtpServer::accept() {
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_connections;
        socket->setParent(this);
        m_sessions.insert(socket, Session());
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_sessions.remove(socket);
            socket->deleteLater();
        });
        if (m_hold)
            continue;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        socket->write("220 127.0.0.1 fake ESMTP\r\n");
    }
}

void FakeSmtpServer::readFrom(QTcpSocket *socket) {
    Session &session = m_sessions[socket];
    session.buffer += socket->readAll();
    qsizetype end;
    while ((end = session.buffer.indexOf("\r\n")) >= 0) {
        const QByteArray line = session.buffer.left(end);
        session.buffer.remove(0, end + 2);
        if (!session.inData) {
            command(socket, session, line);
            continue;
        }
        if (line == ".") {
            session.inData = false;
            m_messages.append(session.message);
            socket->write("250 2.0.0 Queued\r\n");
            continue;
        }
        session.message.data += (line.startsWith('.') ? line.mid(1) : line) + "\r\n";
    }
}

void FakeSmtpServer::command(QTcpSocket *socket, Session &session, const QByteArray &line) {
    if (session.awaitingAuth) {
        session.awaitingAuth = false;
        authenticate(socket, session, line);
        return;
    }
    const QByteArray verb = line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ')).toUpper();
    const QByteArray argument = line.mid(verb.size()).trimmed();
    m_verbs.append(QString::fromLatin1(verb));
    if (verb == "EHLO") {
        socket->write("250-127.0.0.1\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n");
    } else if (verb == "HELO" || verb == "RSET" || verb == "NOOP") {
        socket->write("250 OK\r\n");
    } else if (verb == "AUTH") {
        const QList<QByteArray> parts = argument.split(' ');
        if (parts.value(0).toUpper() != "PLAIN") {
            socket->write("504 5.5.4 Unrecognized authentication type\r\n");
        } else if (parts.size() > 1) {
            authenticate(socket, session, parts.at(1));
        } else {
            session.awaitingAuth = true;
            socket->write("334 \r\n");
        }
    } else if (verb == "MAIL") {
        session.message = Message{session.message.user, session.message.password, {}, {}, {}};
        session.message.mailFrom = QString::fromUtf8(pathOf(argument));
        socket->write("250 2.1.0 OK\r\n");
    } else if (verb == "RCPT") {
        session.message.recipients.append(QString::fromUtf8(pathOf(argument)));
        socket->write("250 2.1.5 OK\r\n");
    } else if (verb == "DATA") {
        session.inData = true;
        socket->write("354 End data with <CR><LF>.<CR><LF>\r\n");
    } else if (verb == "QUIT") {
        socket->write("221 2.0.0 Bye\r\n");
        socket->disconnectFromHost();
    } else {
        socket->write("502 5.5.2 Command not recognized\r\n");
    }
}

void FakeSmtpServer::authenticate(QTcpSocket *socket, Session &session, const QByteArray &encoded) {
    const QList<QByteArray> fields = QByteArray::fromBase64(encoded).split('\0');
    session.message.user = QString::fromUtf8(fields.value(1));
    session.message.password = QString::fromUtf8(fields.value(2));
    socket->write(m_refuseAuth ? "535 5.7.8 Authentication credentials invalid\r\n"
                               : "235 2.7.0 Authentication successful\r\n");
}

} // namespace qvtest
