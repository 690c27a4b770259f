#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

// One running program per user session. The first launch takes a well-known
// name on the session bus and serves an object whose "raise" method brings
// its main window forward; a later launch finds the name taken, calls
// "raise" and should exit. Without a session bus every launch runs on its own.
//
//   QVSingleInstance instance(QDBusConnection::sessionBus(), QVSingleInstance::serviceName());
//   if (instance.claim([&delegate] { delegate.activateMainWindow(); }) == QVSingleInstance::ActivatedOther)
//       return 0;
class QVSingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessaphyre.translator.Instance")
public:
    enum Result {
        Primary,        // this launch serves the name
        ActivatedOther, // another launch serves it and was asked to come forward
        NoBus,          // no session bus (or the name could not be taken): run alone
    };

    static constexpr const char *kObjectPath = "/com/tessaphyre/translator/Instance";
    static constexpr const char *kInterface = "com.tessaphyre.translator.Instance";
    static constexpr const char *kRaiseMethod = "raise";
    static constexpr int kCallTimeoutMs = 5000;

    // The bundle identifier, which is a valid bus name.
    static QString serviceName();

    QVSingleInstance(QDBusConnection connection, const QString &serviceName, QObject *parent = nullptr);
    ~QVSingleInstance() override;

    // Takes the name, or asks its owner to raise. The raise block runs on the
    // main thread for every later launch while this one is primary.
    Result claim(std::function<void()> raise);

public Q_SLOTS:
    Q_SCRIPTABLE void raise();

private:
    bool askOwnerToRaise();

    QDBusConnection m_connection;
    QString m_serviceName;
    std::function<void()> m_raise;
    bool m_registered = false;
};
