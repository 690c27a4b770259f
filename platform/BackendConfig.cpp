#include "BackendConfig.h"

#include <QHash>
#include <QMutex>
#include <QSet>

#include <optional>

namespace platform {
namespace {

QMutex g_mutex;
QHash<QByteArray, QUrl> g_overrides;
QSet<QString> g_reported;

struct Host {
    const char *envName;
    const char *fallback;
};

const Host kHosts[] = {
    {"QV_API_HOST", "https://api.quorvalde.example"},
    {"QV_ACCOUNT_HOST", "https://account.quorvalde.example"},
    {"QV_CLIENT_HOST", "https://client.quorvalde.example"},
    {"QV_PUSH_HOST", "https://push.quorvalde.example"},
    {"QV_ANALYTICS_HOST", "https://analytics.quorvalde.example"},
    {"QV_MAKER_DOMAIN", "https://quorvalde.example"},
};

// Callers append paths that start with "/", so a base never ends with one.
QUrl withoutTrailingSlash(QUrl url) {
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path);
    return url;
}

// One line per bad value, however often it is read.
void reportOnce(const char *envName, const QString &value, const QString &problem, const char *fallback) {
    {
        QMutexLocker lock(&g_mutex);
        const QString key = QString::fromLatin1(envName) + QLatin1Char('=') + value;
        if (g_reported.contains(key))
            return;
        g_reported.insert(key);
    }
    // A value with user info may carry a password: it is not repeated.
    const QString shown = value.contains(QLatin1Char('@')) ? QStringLiteral("(hidden)") : value;
    qWarning("[config] %s=\"%s\" is not a usable backend address (%s); using %s", envName, qPrintable(shown),
             qPrintable(problem), fallback);
}

const char *const kSocketEnvName = "QV_DOCUMENT_SOCKET_HOST";

// The configured value when there is a usable one (logged once otherwise).
std::optional<QUrl> configured(const char *envName, QString (*problemWith)(const QString &),
                               const char *fallbackText) {
    {
        QMutexLocker lock(&g_mutex);
        const auto it = g_overrides.constFind(envName);
        if (it != g_overrides.constEnd())
            return *it;
    }
    // Surrounding blanks are a slip of the shell or an env file, not part of an address.
    const QString value = qEnvironmentVariable(envName).trimmed();
    if (!value.isEmpty()) {
        const QString problem = problemWith(value);
        if (problem.isEmpty())
            return withoutTrailingSlash(QUrl(value, QUrl::StrictMode));
        reportOnce(envName, value, problem, fallbackText);
    }
    return std::nullopt;
}

QUrl resolve(const char *envName, const char *fallback) {
    return configured(envName, &BackendConfig::problemWith, fallback)
        .value_or(QUrl(QString::fromLatin1(fallback)));
}

QString problemWithSchemes(const QString &value, const QString &plain, const QString &secure) {
    // Checked before anything edits the URL: setPath() on an invalid URL makes it valid again.
    const QUrl url(value.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) {
        // Qt's message repeats the whole value, which may hold a password: only its reason is kept.
        const QString reason = url.errorString();
        return reason.left(reason.indexOf(QLatin1String("; source was")));
    }
    if (url.scheme() != plain && url.scheme() != secure)
        return QStringLiteral("the scheme must be %1 or %2").arg(plain, secure);
    if (url.host().isEmpty())
        return QStringLiteral("no host");
    if (!url.userInfo().isEmpty())
        return QStringLiteral("user info is not allowed");
    if (url.port() == 0)
        return QStringLiteral("port 0 cannot be connected to");
    if (url.hasQuery())
        return QStringLiteral("a query is not allowed");
    if (url.hasFragment())
        return QStringLiteral("a fragment is not allowed");
    return {};
}

} // namespace

QUrl BackendConfig::apiHost() {
    return resolve(kHosts[0].envName, kHosts[0].fallback);
}
QUrl BackendConfig::accountHost() {
    return resolve(kHosts[1].envName, kHosts[1].fallback);
}
QUrl BackendConfig::clientHost() {
    return resolve(kHosts[2].envName, kHosts[2].fallback);
}
QUrl BackendConfig::pushHost() {
    return resolve(kHosts[3].envName, kHosts[3].fallback);
}
QUrl BackendConfig::analyticsHost() {
    return resolve(kHosts[4].envName, kHosts[4].fallback);
}
QUrl BackendConfig::makerDomain() {
    return resolve(kHosts[5].envName, kHosts[5].fallback);
}

QUrl BackendConfig::documentSocketHost() {
    if (const auto socket = configured(kSocketEnvName, &BackendConfig::socketProblemWith, "the API host"))
        return *socket;
    // The API host's own address, over the socket scheme that matches its security.
    QUrl url = apiHost();
    url.setScheme(url.scheme() == QLatin1String("http") ? QStringLiteral("ws") : QStringLiteral("wss"));
    return url;
}

QString BackendConfig::problemWith(const QString &value) {
    return problemWithSchemes(value, QStringLiteral("http"), QStringLiteral("https"));
}

QString BackendConfig::socketProblemWith(const QString &value) {
    return problemWithSchemes(value, QStringLiteral("ws"), QStringLiteral("wss"));
}

void BackendConfig::checkEnvironment() {
    for (const Host &host : kHosts)
        resolve(host.envName, host.fallback);
    documentSocketHost();
}

void BackendConfig::overrideHost(const char *envName, const QUrl &url) {
    QMutexLocker lock(&g_mutex);
    if (url.isEmpty())
        g_overrides.remove(envName);
    else
        g_overrides.insert(envName, withoutTrailingSlash(url));
}

} // namespace platform
