#include "QVMDesktopSettingsShortcutBackend.h"

QString QVMDesktopSettingsShortcutBackend::commandForAction(const QString &actionId) {
    return QStringLiteral("quorvalde-translator --action ") + actionId;
}
