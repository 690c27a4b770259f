#pragma once

#include "QVMGlobalShortcutBackend.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <functional>

// One entry of the portal's shortcut lists: an id and its properties
// ("description", "preferred_trigger", "trigger_description").
struct QVMPortalShortcut {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(QVMPortalShortcut)
Q_DECLARE_METATYPE(QList<QVMPortalShortcut>)
QDBusArgument &operator<<(QDBusArgument &argument, const QVMPortalShortcut &shortcut);
const QDBusArgument &operator>>(const QDBusArgument &argument, QVMPortalShortcut &shortcut);

// Global keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts):
// one session, the shortcuts bound with our keys as the preferred triggers,
// and the desktop decides the keys in the end (boundTriggers). Every call is
// asynchronous; nothing here waits for the portal.
//
//   QVMPortalShortcutBackend::probe(bus, [](bool available) { ... });
//   auto *portal = new QVMPortalShortcutBackend(bus, parent);
//   portal->setShortcuts({{"show-agent", QKeySequence("Ctrl+Alt+Right"), "Open the translator"}});
class QVMPortalShortcutBackend : public QVMGlobalShortcutBackend {
    Q_OBJECT
public:
    explicit QVMPortalShortcutBackend(QDBusConnection connection, QObject *parent = nullptr);
    Kind kind() const override { return Kind::DesktopPortal; }
    void setShortcuts(const QList<Shortcut> &shortcuts) override;
    // Asks the desktop again what it bound.
    void listShortcuts();
    QString sessionHandle() const { return m_session; }

    // Whether the bus offers the portal's global shortcuts; the answer comes later, within the timeout.
    static void probe(QDBusConnection connection, std::function<void(bool available)> answer,
                      int timeoutMs = kProbeTimeoutMs);
    // "Ctrl+Alt+Left" in the portal's own trigger notation: "CTRL+ALT+Left".
    static QString triggerForKeys(const QKeySequence &keys);
    static void registerTypes();

    static constexpr const char *kService = "org.freedesktop.portal.Desktop";
    static constexpr const char *kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *kInterface = "org.freedesktop.portal.GlobalShortcuts";
    static constexpr const char *kRequestInterface = "org.freedesktop.portal.Request";
    static constexpr int kProbeTimeoutMs = 250;

public Q_SLOTS:
    // The portal's signals; the bus calls only public slots.
    void onActivated(const QDBusMessage &message);
    void onShortcutsChanged(const QDBusObjectPath &session, const QDBusArgument &shortcuts);

private:
    using Response = std::function<void(uint code, const QVariantMap &results)>;
    // Calls a portal method that answers through a Request object's "Response" signal.
    void request(const QString &method, QList<QVariant> arguments, QVariantMap options, Response response);
    void createSession();
    void bind();
    void takeShortcutList(const QList<QVMPortalShortcut> &list);

    QDBusConnection m_connection;
    QString m_session;
    bool m_creating = false;
    QList<Shortcut> m_shortcuts;
    int m_token = 0;
};
