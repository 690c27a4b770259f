#include "ScopedBackendHosts.h"

namespace qvtest {

QList<QByteArray> ScopedBackendHosts::allVariables() {
    return {"QV_API_HOST",  "QV_ACCOUNT_HOST",   "QV_CLIENT_HOST",
            "QV_PUSH_HOST", "QV_ANALYTICS_HOST", "QV_MAKER_DOMAIN"};
}

ScopedBackendHosts::ScopedBackendHosts(const QUrl &baseUrl, const QList<QByteArray> &variables) {
    const QByteArray value = baseUrl.toString(QUrl::StripTrailingSlash).toUtf8();
    for (const QByteArray &name : variables) {
        m_saved.append({name, qEnvironmentVariableIsSet(name.constData()), qgetenv(name.constData())});
        qputenv(name.constData(), value);
    }
}

ScopedBackendHosts::~ScopedBackendHosts() {
    for (const Saved &saved : m_saved) {
        if (saved.wasSet)
            qputenv(saved.name.constData(), saved.value);
        else
            qunsetenv(saved.name.constData());
    }
}

} // namespace qvtest
