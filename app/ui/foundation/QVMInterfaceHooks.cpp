#include "ui/foundation/QVMInterfaceHooks.h"

#include "core/DevLog.h"

QVMInterfaceHooks &QVMInterfaceHooks::shared() {
    static QVMInterfaceHooks hooks;
    return hooks;
}

void QVMInterfaceHooks::notAvailable(const char *name) {
    DevLog(QString::fromLatin1(kNotAvailableFormat), QString::fromLatin1(name));
}
