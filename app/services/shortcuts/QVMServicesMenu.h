#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;

// The two entries other programs use to hand text over: "showTranslate"
// (translated in the main window) and "showTranslateInAgent" (in the tray
// popover), served on the session bus at /com/tessaphyre/translator/Services
// under the program's bus name, and also reached from the command line
// (`quorvalde-translator --show-translate TEXT`). The same object carries the
// shortcut actions for desktops where the user binds keys to commands.
// A call over the bus is answered at once: what it asks for runs after the
// reply has left, and waits while a modal box is open (the box is brought
// forward), so a caller never waits on a dialog and calls made meanwhile
// never stack a second box; of the calls of one entry made meanwhile, the
// last is the one that runs. Main thread only.
//
//   QVMServicesMenu &menu = QVMServicesMenu::sharedInstance();
//   menu.setDelegate(view, [view](const QString &text, int type) { view->updateBufferFromService(text, type);
//   }); menu.registerProvider(QDBusConnection::sessionBus());
//   // from another program:
//   // from another program, one line:
//   // gdbus call --session --dest com.tessaphyre.translator.mac
//   //   --object-path /com/tessaphyre/translator/Services
//   //   --method com.tessaphyre.translator.Services.showTranslate "Hallo"
class QVMServicesMenu : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessaphyre.translator.Services")
public:
    static QVMServicesMenu &sharedInstance();

    using Delegate = std::function<void(const QString &text, int type)>;
    // The receiver of the texts; it is dropped when `owner` goes away.
    void setDelegate(QObject *owner, Delegate delegate);
    bool hasDelegate() const { return m_owner && m_delegate; }
    QString bufferString() const { return m_bufferString; }

    // The error text for a text that cannot be taken: empty when it can.
    static QString checkPasteboard(const QString &text);
    // Nothing for no text; else keeps it and hands it to the delegate.
    void setBufferString(const QString &text, int type);

    // Serves this object on the connection (the bus name is the single instance's).
    bool registerProvider(QDBusConnection connection);
    void unregisterProvider();

    // The shortcut actions the D-Bus methods below run (set by the shortcut service).
    std::function<void()> translateWebPageAction;
    std::function<void()> showAgentAction;

    static constexpr const char *kObjectPath = "/com/tessaphyre/translator/Services";
    static constexpr const char *kInterface = "com.tessaphyre.translator.Services";
    static constexpr const char *kNoTextError = "com.tessaphyre.translator.Error.NoText";
    static constexpr const char *kNoStringMessage = "Error: the pasteboard doesn't contain a string.";
    static constexpr const char *kTooLongMessage = "Error: the text is too long.";
    static constexpr int kMaximumBytes = 1024 * 1024;

public Q_SLOTS:
    Q_SCRIPTABLE void showTranslate(const QString &text);
    Q_SCRIPTABLE void showTranslateInAgent(const QString &text);
    Q_SCRIPTABLE void translateWebPagePasteboardUrl();
    Q_SCRIPTABLE void showAgent();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QVMServicesMenu() = default;
    void receive(const char *entry, const QString &text, int type);
    // Runs `action` now for a call from this program, else once the bus call's reply has left and
    // no modal box is open; a later call of the same entry replaces one still waiting.
    void handOver(const char *entry, std::function<void()> action);
    void queueRun();
    void runHandedOver();

    struct Waiting {
        QByteArray entry;
        std::function<void()> action;
    };
    QList<Waiting> m_waiting;
    bool m_runQueued = false;
    QPointer<QWidget> m_watchedBox; // the modal box the waiting calls wait for

    QPointer<QObject> m_owner;
    Delegate m_delegate;
    QString m_bufferString;
    QDBusConnection m_connection{QString()};
    bool m_registered = false;
};
