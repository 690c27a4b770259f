#include "startup/QVLaunchHooks.h"

#include "core/DevLog.h"

QVLaunchHooks &QVLaunchHooks::shared() {
    static QVLaunchHooks hooks;
    return hooks;
}

bool QVLaunchHooks::run(const std::function<void()> &hook, const char *name) {
    if (!hook) {
        DevLog(QString::fromLatin1(kNotAvailableFormat), QString::fromLatin1(name));
        return false;
    }
    hook();
    return true;
}
