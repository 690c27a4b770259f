#include "services/documents/QVDocumentSocket.h"

#include "platform/OnDemandLibrary.h"

namespace {

using CreateFunction = QVDocumentSocket *(*)(qint64 maxIncomingBytes, QObject *parent);

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary socket("libqvsocket.so", "QV_SOCKET_MODULE",
                                            QStringLiteral(QV_SOCKET_MODULE_PATH));
    return socket;
}

} // namespace

QVDocumentSocket *QVDocumentSocket::create(qint64 maxIncomingBytes, QObject *parent, QString *error) {
    const auto create = reinterpret_cast<CreateFunction>(library().symbol("qvSocketModuleCreate"));
    if (!create) {
        *error = library().error();
        return nullptr;
    }
    return create(maxIncomingBytes, parent);
}
