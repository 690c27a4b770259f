#include "services/documents/QVDocumentSocket.h"

#include "services/modules/QVModuleLoader.h"

#include "platform/OnDemandLibrary.h"

#include <QSslSocket>

namespace {

using CreateFunction = QVDocumentSocket *(*)(qint64 maxIncomingBytes, QObject *parent);
constexpr const char *kCreateSymbol = "qvSocketModuleCreate";

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary socket("libqvsocket.so", "QV_SOCKET_MODULE",
                                            QStringLiteral(QV_SOCKET_MODULE_PATH));
    return socket;
}

} // namespace

void QVDocumentSocket::createWhenLoaded(qint64 maxIncomingBytes, QObject *parent, Made made) {
    QVModuleLoader::load(
        library(), kCreateSymbol, parent,
        [maxIncomingBytes, parent, made = std::move(made)](void *entry, const QString &error) {
            const auto create = reinterpret_cast<CreateFunction>(entry);
            if (made)
                made(create ? create(maxIncomingBytes, parent) : nullptr, error);
        },
        // A socket's first making loads the TLS back end and OpenSSL: done here, off the interface
        // thread (Qt's TLS set-up is guarded for any thread).
        [] { QSslSocket::supportsSsl(); });
}

QVDocumentSocket *QVDocumentSocket::create(qint64 maxIncomingBytes, QObject *parent, QString *error) {
    const auto create = reinterpret_cast<CreateFunction>(library().symbol(kCreateSymbol));
    if (!create) {
        *error = library().error();
        return nullptr;
    }
    return create(maxIncomingBytes, parent);
}
