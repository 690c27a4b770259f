#include "BackendConfig.h"

#include <QHash>
#include <QMutex>

namespace platform {
namespace {

QMutex g_mutex;
QHash<QByteArray, QUrl> g_overrides;

// Callers append paths that start with "/", so a base never ends with one.
QUrl withoutTrailingSlash(QUrl url) {
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path);
    return url;
}

QUrl resolve(const char *envName, const char *fallback) {
    {
        QMutexLocker lock(&g_mutex);
        const auto it = g_overrides.constFind(envName);
        if (it != g_overrides.constEnd())
            return *it;
    }
    const QByteArray env = qgetenv(envName);
    return withoutTrailingSlash(QUrl(QString::fromUtf8(env.isEmpty() ? QByteArray(fallback) : env)));
}

} // namespace

QUrl BackendConfig::apiHost() { return resolve("QV_API_HOST", "https://api.quorvalde.example"); }
QUrl BackendConfig::accountHost() { return resolve("QV_ACCOUNT_HOST", "https://account.quorvalde.example"); }
QUrl BackendConfig::clientHost() { return resolve("QV_CLIENT_HOST", "https://client.quorvalde.example"); }
QUrl BackendConfig::pushHost() { return resolve("QV_PUSH_HOST", "https://push.quorvalde.example"); }
QUrl BackendConfig::analyticsHost() { return resolve("QV_ANALYTICS_HOST", "https://analytics.quorvalde.example"); }
QUrl BackendConfig::makerDomain() { return resolve("QV_MAKER_DOMAIN", "https://quorvalde.example"); }

void BackendConfig::overrideHost(const char *envName, const QUrl &url) {
    QMutexLocker lock(&g_mutex);
    if (url.isEmpty())
        g_overrides.remove(envName);
    else
        g_overrides.insert(envName, withoutTrailingSlash(url));
}

} // namespace platform
