#pragma once

#include <QNetworkAccessManager>
#include <QUrl>

namespace platform {

// The network access manager every request of the program goes through. A
// request to a reserved name (RFC 2606/6761: "example", "*.example",
// "*.invalid", "*.test"), which is what an unconfigured backend host is, never
// leaves the machine: its reply fails at once with HostNotFoundError, and one
// plain line per host says so. Everything else is sent as usual.
//
//   auto *network = new platform::BackendNetworkAccess(this);
//   QNetworkReply *reply = network->get(QNetworkRequest(BackendConfig::apiHost()));
class BackendNetworkAccess : public QNetworkAccessManager {
    Q_OBJECT
public:
    using QNetworkAccessManager::QNetworkAccessManager;

    static bool isReservedHost(const QUrl &url);
    // Requests of every such manager in the process: sent on, and refused (tests).
    static quint64 sentCount();
    static quint64 refusedCount();

    static constexpr const char *kRefusedLog = "[network] no backend configured: nothing sent to %s";

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData = nullptr) override;
};

} // namespace platform
