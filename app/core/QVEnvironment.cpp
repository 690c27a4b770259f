#include "core/QVEnvironment.h"

#include "core/DevLog.h"
#include "platform/BackendConfig.h"
#include "platform/Bundle.h"
#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QList>
#include <QSysInfo>
#include <QUrl>
#include <QVersionNumber>

#include <algorithm>
#include <atomic>

namespace {

QString readFirstLine(const char *path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}

QVersionNumber osVersion() {
    // Debian names its point release only in debian_version; elsewhere os-release's VERSION_ID.
    QVersionNumber version = QVersionNumber::fromString(readFirstLine("/etc/debian_version"));
    if (version.isNull())
        version = QVersionNumber::fromString(QSysInfo::productVersion());
    return version;
}

} // namespace

platform::UserDefaults &QVEnvironment::sharedDefaults() {
    static platform::UserDefaults &defaults = platform::UserDefaults::standard();
    return defaults;
}

bool QVEnvironment::isNetworkAvailable() {
    const platform::NetworkStatus &network = platform::NetworkStatus::shared();
    if (!network.isForced() && !isBackendConfigured())
        return false;
    const int status = network.currentStatus();
    return status == 1 || status == 2;
}

bool QVEnvironment::isBackendConfigured() {
    using platform::BackendConfig;
    const QList<QUrl> hosts = {BackendConfig::apiHost(),       BackendConfig::accountHost(),
                               BackendConfig::clientHost(),    BackendConfig::pushHost(),
                               BackendConfig::analyticsHost(), BackendConfig::makerDomain()};
    const bool configured = std::any_of(hosts.begin(), hosts.end(), [](const QUrl &host) {
        const QString name = host.host().toLower();
        return !name.isEmpty() && !name.endsWith(QLatin1String(".example")) &&
               name != QLatin1String("example");
    });
    static std::atomic<bool> logged{false};
    if (!configured && !logged.exchange(true))
        DevLog(QString::fromLatin1(kNoBackendLog));
    return configured;
}

QString QVEnvironment::getAppVersionFromBundle() {
    return platform::Bundle::shortVersionString();
}

QString QVEnvironment::getDeviceName() {
    // The firmware's product name stands in for the hardware model name.
    QString model = readFirstLine("/sys/devices/virtual/dmi/id/product_name");
    if (model.isEmpty())
        model = readFirstLine("/sys/firmware/devicetree/base/model");
    return model.isEmpty() ? QStringLiteral("macOS") : model;
}

QString QVEnvironment::getOSVersion() {
    const QVersionNumber version = osVersion();
    return QStringLiteral("%1.%2.%3")
        .arg(version.majorVersion())
        .arg(version.minorVersion())
        .arg(version.microVersion());
}

long QVEnvironment::getOSMinorVersion() {
    return osVersion().minorVersion();
}

