#pragma once

#include "panes/popover/QVMGenaralPopoverViewController.h"
#include "services/shortcuts/QVMGlobalShortcutBackend.h"

#include <QDBusConnection>
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>
#include <memory>

class QVDesktopNotifier;

// The global shortcuts: the user's own (Ctrl+F1 unless changed) and the fixed
// Ctrl+Alt+Left translate the web page whose address was copied or
// highlighted; the fixed Ctrl+Alt+Right opens the tray popover with the
// highlighted or copied text. The keys reach the program through one of three
// back ends, chosen when observing starts: X11 key grabs, the desktop portal,
// or commands bound in the desktop's keyboard settings (D-Bus actions).
// Main thread only.
//
//   QVMKeyboardShortcutsService &shortcuts = QVMKeyboardShortcutsService::sharedInstance();
//   shortcuts.setStatusItemController(popover);
//   shortcuts.startObserving();              // applies the three defaults and follows changes
//   shortcuts.backend()->kind();             // which back end serves the keys
class QVMKeyboardShortcutsService : public QObject {
    Q_OBJECT
public:
    static QVMKeyboardShortcutsService &sharedInstance();

    // Chooses the back end (X11 at once; the portal when the bus answers in time, the
    // desktop's settings meanwhile and otherwise), applies the defaults and follows their changes.
    void startObserving();
    void startObserving(QDBusConnection bus);
    void stopObserving();
    bool isObserving() const { return m_observing; }
    // A back end of the caller's (tests); the service owns it.
    void setBackend(QVMGlobalShortcutBackend *backend);
    QVMGlobalShortcutBackend *backend() const { return m_backend; }

    void setCustomShortcutEnabled(bool enabled);
    void setHardcodedShortcutEnabled(bool enabled);
    // The stored user shortcut; an unreadable value gives the registered one (logged once).
    QKeySequence customShortcut() const;
    // What is bound now, in the order custom, then the two fixed ones.
    QList<QVMGlobalShortcutBackend::Shortcut> activeShortcuts() const;

    void translateWebPagePasteboardUrl();
    void translateWebPageWithUrlString(const QString &urlString);
    void showAgent();
    void showAgentForText(const QString &text);
    void runAction(const QString &id);

    QVMGenaralPopoverViewController *statusItemController() const { return m_statusItemController; }
    void setStatusItemController(QVMGenaralPopoverViewController *controller) {
        m_statusItemController = controller;
    }

    // "Active: X11 key grabs" and, for each conflict, the line that names it: the user's own
    // shortcut can be changed, the fixed ones cannot.
    QString statusText() const;
    QStringList conflictLines() const;
    static bool isWaylandSession();

    // Where the selection is read and what a pressed shortcut has to say is told (tests replace them).
    using TextReader = std::function<QString()>;
    using Notifier = std::function<void(const QString &title, const QString &body)>;
    void setSelectionReader(TextReader reader) { m_reader = std::move(reader); }
    void setNotifier(Notifier notifier) { m_notifier = std::move(notifier); }
    // The bus of the desktop's notifications: the session bus unless a test brings its own.
    void setNotificationBus(QDBusConnection bus);
    // The default notifier: a desktop notification where the desktop shows them, else an alert
    // (the user just pressed the key and would otherwise see nothing).
    void notifyOrAlert(const QString &title, const QString &body);
    static QString readSelectionOrClipboard();

    static constexpr const char *kCustomShortcut = "customShortcut";
    static constexpr const char *kCustomShortcutEnabled = "customShortcutEnabled";
    static constexpr const char *kHardcodedShortcutEnabled = "hardcodedShortcutEnabled";
    static constexpr const char *kDefaultCustomShortcut = "Ctrl+F1";
    static constexpr const char *kTranslateWebPageLeft = "Ctrl+Alt+Left";
    static constexpr const char *kShowAgentKeys = "Ctrl+Alt+Right";
    static constexpr const char *kIdCustom = "custom";
    static constexpr const char *kIdTranslateWebPage = "translate-web-page";
    static constexpr const char *kIdShowAgent = "show-agent";
    static constexpr const char *kWaylandHint = "On Wayland, copy the text first (Ctrl+C)";
    static constexpr const char *kNoWebAddress = "The clipboard holds no web address";
    static constexpr const char *kNoInternetKey = "_loc_alert_no_internet";
    static constexpr const char *kCustomTaken = "%1 is taken by another program: choose another";
    static constexpr const char *kFixedTaken =
        "%1 is taken by another program: free it in your desktop's keyboard settings to use it here";

signals:
    void stateChanged();

private:
    QVMKeyboardShortcutsService();
    ~QVMKeyboardShortcutsService() override;
    void registerDefaults();
    void apply();
    void defaultsChanged(const QString &key);
    void backendStateChanged();
    void notify(const QString &body);
    void announceHeldKeys(const QStringList &lines);
    QVDesktopNotifier &desktopNotifier();

    QPointer<QVMGlobalShortcutBackend> m_backend;
    QPointer<QVMGenaralPopoverViewController> m_statusItemController;
    bool m_observing = false;
    bool m_customEnabled = false;
    bool m_hardcodedEnabled = false;
    QSet<QString> m_announced;
    mutable bool m_loggedUnreadable = false;
    QMetaObject::Connection m_defaultsConnection;
    TextReader m_reader;
    Notifier m_notifier;
    std::unique_ptr<QVDesktopNotifier> m_desktop;
};
