#pragma once

#include <QAbstractSocket>
#include <QNetworkRequest>
#include <QObject>
#include <QString>

#include <functional>

// The document service's web socket. Qt WebSockets lives in libqvsocket.so (QV_SOCKET_MODULE),
// loaded with the first document sent: the start does not pay for it.
//
//   QString error;
//   QVDocumentSocket *socket = QVDocumentSocket::create(kMaxBytes, this, &error);
//   if (!socket) fail(error);
//   QVDocumentSocket::createWhenLoaded(kMaxBytes, this, [](QVDocumentSocket *s, const QString &e) {...});
//   connect(socket, &QVDocumentSocket::textMessageReceived, this, &Owner::onMessage);
//   socket->open(request);
class QVDocumentSocket : public QObject {
    Q_OBJECT
public:
    // A socket that refuses messages and frames over `maxIncomingBytes` by closing; null, with
    // the error saying why, when the module cannot be loaded.
    static QVDocumentSocket *create(qint64 maxIncomingBytes, QObject *parent, QString *error);
    // As create(), with the module loaded on a worker thread the first time: `made` gets the socket
    // (or null, and the error) on the main thread on a later turn, unless `parent` is gone by then.
    using Made = std::function<void(QVDocumentSocket *socket, const QString &error)>;
    static void createWhenLoaded(qint64 maxIncomingBytes, QObject *parent, Made made);

    virtual void open(const QNetworkRequest &request) = 0;
    virtual void sendTextMessage(const QString &message) = 0;
    virtual void close() = 0;
    virtual QAbstractSocket::SocketError error() const = 0;
    virtual QString errorString() const = 0;
    // It closed itself on a message over the limit.
    virtual bool closedOnTooMuchData() const = 0;

signals:
    void connected();
    void textMessageReceived(const QString &message);
    void errorOccurred();
    void disconnected();

protected:
    using QObject::QObject;
};
