#include "RawHttpServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace qvtest {

namespace {

// Enough queued for a fast client, little enough that an endless body never piles up here.
constexpr qint64 kEndlessBacklog = 256 * 1024;

} // namespace

RawHttpServer::RawHttpServer(QObject *parent) : QObject(parent) {}

RawHttpServer::~RawHttpServer() = default;

bool RawHttpServer::listen() {
    m_server = std::make_unique<QTcpServer>();
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &RawHttpServer::accept);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

bool RawHttpServer::listenTls(const QSslConfiguration &configuration) {
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(configuration);
    m_tls = true;
    m_server = std::move(server);
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &RawHttpServer::accept);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

bool RawHttpServer::isListening() const {
    return m_server && m_server->isListening();
}

QUrl RawHttpServer::url(const QString &path) const {
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(m_server ? m_server->serverPort() : 0)
                    .arg(path));
}

void RawHttpServer::accept() {
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setProperty("head", QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void RawHttpServer::onReadyRead(QTcpSocket *socket) {
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    if (socket->property("answered").toBool())
        return; // a request body, or a second request: one answer per connection
    const int end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("head", head);
        return;
    }
    socket->setProperty("answered", true);
    m_requestHeads.append(head.left(end));
    answer(socket);
}

void RawHttpServer::answer(QTcpSocket *socket) {
    socket->write(m_answer.head);
    if (m_answer.dripIntervalMs > 0) {
        drip(socket, 0);
        return;
    }
    if (m_answer.endless) {
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { refill(socket); });
        refill(socket);
        return;
    }
    socket->write(m_answer.body);
    m_bodyBytesWritten += m_answer.body.size();
    if (m_answer.closeAfter)
        socket->disconnectFromHost();
}

void RawHttpServer::drip(QTcpSocket *socket, int position) {
    if (position >= m_answer.body.size()) {
        if (m_answer.closeAfter)
            socket->disconnectFromHost();
        return;
    }
    socket->write(m_answer.body.mid(position, 1));
    ++m_bodyBytesWritten;
    QPointer<QTcpSocket> alive(socket);
    QTimer::singleShot(m_answer.dripIntervalMs, this, [this, alive, position] {
        if (alive && alive->state() == QAbstractSocket::ConnectedState)
            drip(alive, position + 1);
    });
}

void RawHttpServer::refill(QTcpSocket *socket) {
    if (m_answer.body.isEmpty() || socket->state() != QAbstractSocket::ConnectedState)
        return;
    while (socket->bytesToWrite() < kEndlessBacklog) {
        socket->write(m_answer.body);
        m_bodyBytesWritten += m_answer.body.size();
    }
}

} // namespace qvtest
