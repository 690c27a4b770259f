#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace qvtest {

// Points the backend host variables (QV_API_HOST, QV_ACCOUNT_HOST, ...) at one base URL, usually
// FakeBackend::baseUrl(), and restores their previous values when it goes out of scope.
// platform::BackendConfig::overrideHost still wins over these, as it does over the environment.
class ScopedBackendHosts {
public:
    explicit ScopedBackendHosts(const QUrl &baseUrl, const QList<QByteArray> &variables = allVariables());
    ~ScopedBackendHosts();
    ScopedBackendHosts(const ScopedBackendHosts &) = delete;
    ScopedBackendHosts &operator=(const ScopedBackendHosts &) = delete;

    static QList<QByteArray> allVariables();

private:
    struct Saved {
        QByteArray name;
        bool wasSet;
        QByteArray value;
    };
    QList<Saved> m_saved;
};

} // namespace qvtest
