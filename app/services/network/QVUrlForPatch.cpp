#include "services/network/QVUrlForPatch.h"

#include "platform/BackendConfig.h"
#include "platform/Format.h"

QUrl qvUrlForPatch(const QString &name) {
    QUrl url = platform::BackendConfig::apiHost();
    url.setPath(url.path() + QStringLiteral("/v2/") +
                platform::format(QStringLiteral("%@@%@x.png"), name, 2));
    return url;
}
