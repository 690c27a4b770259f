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
// Values are base URLs (scheme, host, optional port), without a trailing slash.
class BackendConfig {
public:
    static QUrl apiHost();
    static QUrl accountHost();
    static QUrl clientHost();
    static QUrl pushHost();
    static QUrl analyticsHost();
    static QUrl makerDomain();

    // Tests may set a value for the rest of the process; an empty URL restores the default.
    static void overrideHost(const char *envName, const QUrl &url);
};

} // namespace platform
