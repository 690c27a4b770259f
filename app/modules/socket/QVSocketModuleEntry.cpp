// The web socket module's entry point (see services/documents/QVDocumentSocket.h): the only code
// that links Qt WebSockets.
#include "services/documents/QVDocumentSocket.h"

#include <QWebSocket>

namespace {

class WebSocket : public QVDocumentSocket {
public:
    WebSocket(qint64 maxIncomingBytes, QObject *parent)
        : QVDocumentSocket(parent), m_socket(QString(), QWebSocketProtocol::VersionLatest, this) {
        m_socket.setMaxAllowedIncomingMessageSize(quint64(maxIncomingBytes));
        m_socket.setMaxAllowedIncomingFrameSize(quint64(maxIncomingBytes));
        connect(&m_socket, &QWebSocket::connected, this, &QVDocumentSocket::connected);
        connect(&m_socket, &QWebSocket::textMessageReceived, this, &QVDocumentSocket::textMessageReceived);
        connect(&m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
                &QVDocumentSocket::errorOccurred);
        connect(&m_socket, &QWebSocket::disconnected, this, &QVDocumentSocket::disconnected);
    }

    void open(const QNetworkRequest &request) override { m_socket.open(request); }
    void sendTextMessage(const QString &message) override { m_socket.sendTextMessage(message); }
    void close() override { m_socket.close(); }
    QAbstractSocket::SocketError error() const override { return m_socket.error(); }
    QString errorString() const override { return m_socket.errorString(); }
    bool closedOnTooMuchData() const override {
        return m_socket.closeCode() == QWebSocketProtocol::CloseCodeTooMuchData;
    }

private:
    QWebSocket m_socket;
};

} // namespace

extern "C" Q_DECL_EXPORT QVDocumentSocket *qvSocketModuleCreate(qint64 maxIncomingBytes, QObject *parent) {
    return new WebSocket(maxIncomingBytes, parent);
}
