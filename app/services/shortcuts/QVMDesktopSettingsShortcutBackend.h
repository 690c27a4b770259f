#pragma once

#include "QVMGlobalShortcutBackend.h"

// Where nothing can grab keys: the user binds the program's commands in the
// desktop's keyboard settings; the actions arrive over D-Bus instead.
class QVMDesktopSettingsShortcutBackend : public QVMGlobalShortcutBackend {
    Q_OBJECT
public:
    using QVMGlobalShortcutBackend::QVMGlobalShortcutBackend;
    Kind kind() const override { return Kind::DesktopSettings; }
    void setShortcuts(const QList<Shortcut> &shortcuts) override { m_shortcuts = shortcuts; }
    QList<Shortcut> shortcuts() const { return m_shortcuts; }

    // The command a desktop binds for an action id ("translate-web-page", "show-agent").
    static QString commandForAction(const QString &actionId);

private:
    QList<Shortcut> m_shortcuts;
};
