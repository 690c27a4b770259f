#include "QVMUtils.h"

#include "platform/Bundle.h"
#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"

#include <QFile>

namespace {

QString readFirstLine(const char *path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}

} // namespace

platform::UserDefaults &QVMUtils::sharedDefaults() {
    static platform::UserDefaults &defaults = platform::UserDefaults::standard();
    return defaults;
}

bool QVMUtils::isNetworkAvailable() {
    const int status = platform::NetworkStatus::shared().currentStatus();
    return status == 1 || status == 2;
}

QString QVMUtils::getAppVersionFromBundle() { return platform::Bundle::shortVersionString(); }

QString QVMUtils::getDeviceName() {
    // The firmware's product name stands in for the hardware model name.
    QString model = readFirstLine("/sys/devices/virtual/dmi/id/product_name");
    if (model.isEmpty())
        model = readFirstLine("/sys/firmware/devicetree/base/model");
    return model.isEmpty() ? QStringLiteral("macOS") : model;
}
