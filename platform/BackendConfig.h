#pragma once

#include <QUrl>

namespace platform {

// The one place that knows where the backend lives. Every host can be
// overridden from the environment so tests point the program at 127.0.0.1:
//   QV_API_HOST        general and favourites-free API (default https://api.quorvalde.example)
//   QV_ACCOUNT_HOST    account and favourites API      (default https://account.quorvalde.example)
//   QV_CLIENT_HOST     backend client protocol "/api"  (default https://client.quorvalde.example)
//   QV_PUSH_HOST       push-device registration        (default https://push.quorvalde.example)
//   QV_ANALYTICS_HOST  web and product analytics       (default https://analytics.quorvalde.example)
//   QV_MAKER_DOMAIN    the maker's web site            (default https://quorvalde.example)
//   QV_DOCUMENT_SOCKET_HOST  document translation socket (default: the API host as "wss",
//                      or "ws" for an "http" API host)
// Values are base URLs: scheme http or https (ws or wss for the socket), a host, an optional port and path,
// nothing else; a trailing slash is dropped. A value that is not (a port beyond 65535, a query, a fragment,
// user info, another scheme) is logged once and the default used instead.
class BackendConfig {
public:
    static QUrl apiHost();
    static QUrl accountHost();
    static QUrl clientHost();
    static QUrl pushHost();
    static QUrl analyticsHost();
    static QUrl makerDomain();
    // Base of the document translation web socket (scheme ws or wss).
    static QUrl documentSocketHost();

    // Tests may set a value for the rest of the process; an empty URL restores the default.
    static void overrideHost(const char *envName, const QUrl &url);

    // Reads every host variable, logging a line for each unusable one. Called once at start-up.
    static void checkEnvironment();
    // Empty when the value is a usable base URL, else what is wrong with it.
    static QString problemWith(const QString &value);
    // The same for the socket base, whose scheme is ws or wss.
    static QString socketProblemWith(const QString &value);
};

} // namespace platform
