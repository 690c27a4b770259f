#include "QVMGlobalShortcutBackend.h"

QString QVMGlobalShortcutBackend::kindDescription(Kind kind) {
    switch (kind) {
    case Kind::X11KeyGrabs:
        return tr("X11 key grabs");
    case Kind::DesktopPortal:
        return tr("desktop portal");
    case Kind::DesktopSettings:
        break;
    }
    return tr("your desktop's keyboard settings");
}

void QVMGlobalShortcutBackend::setConflicts(const QStringList &conflicts) {
    if (conflicts == m_conflicts)
        return;
    m_conflicts = conflicts;
    emit stateChanged();
}

void QVMGlobalShortcutBackend::setBoundTriggers(const QMap<QString, QString> &bound) {
    if (bound == m_bound)
        return;
    m_bound = bound;
    emit stateChanged();
}
