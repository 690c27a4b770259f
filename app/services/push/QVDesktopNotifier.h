#pragma once

#include "services/push/QVNotificationPresenter.h"
#include "services/push/QVSoundModule.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Push payloads on a freedesktop desktop: notifications through the session
// bus's notification service, the badge as the launcher entry's count (docks
// and panels that show counts read it), sounds through the desktop's sound
// theme (the sound module, loaded with the first sound). Every call returns at
// once; without a session bus, an audio server or the sound module nothing is
// shown or played and a diagnostic line says why. Main thread only.
//
//   QVDesktopNotifier notifier;
//   notifier.canShowNotifications([&](bool shown) { if (shown) notifier.showAlert(title, body); });
class QVDesktopNotifier : public QVNotificationPresenter {
public:
    static constexpr const char *kApplicationName = "Quorvalde Translator";
    static constexpr const char *kDesktopEntry = "application://com.tessaphyre.translator.mac.desktop";
    // The theme's name for the user's alert sound.
    static constexpr const char *kAlertSoundEvent = "bell";

    // The bus the desktop's services are on: the session bus unless a test brings its own.
    explicit QVDesktopNotifier(QDBusConnection connection = QDBusConnection::sessionBus());
    ~QVDesktopNotifier() override;
    QVDesktopNotifier(const QVDesktopNotifier &) = delete;
    QVDesktopNotifier &operator=(const QVDesktopNotifier &) = delete;

    void playAlertSound() override;
    void playSoundFile(const QString &path) override;
    void setBadgeLabel(const QString &label) override;
    void showAlert(const QString &title, const QString &body) override;

    // Whether a notification would reach the screen: the desktop's notification service runs on
    // the bus or the bus can start it. The bus is asked once, without waiting for it; the answer
    // goes to the block on the main thread (at once when it is known) and is kept, following the
    // service as it starts or stops later. No bus: false at once.
    void canShowNotifications(std::function<void(bool available)> answer);
    // The kept answer; none while the bus has not answered yet.
    std::optional<bool> knownAvailability() const { return m_available; }

    // The Notify call: the application's name as summary when there is no title,
    // the body as plain text (markup characters escaped).
    static QDBusMessage notifyMessage(const QString &title, const QString &body);
    // The launcher entry's Update signal: a count for a whole-number label, else no count shown.
    static QDBusMessage launcherEntryMessage(const QString &label);

private:
    bool play(QVThemeSound::Kind kind, const QString &value);

    bool busAvailable();
    void ask();
    void askActivatable();
    void answer(bool available);

    QDBusConnection m_connection;
    std::unique_ptr<QVThemeSound> m_sound;
    // Owns the bus's pending answers and the service watcher: none outlives the notifier.
    std::unique_ptr<QObject> m_context;
    bool m_registered = false;
    bool m_activatable = false;
    std::optional<bool> m_available;
    QList<std::function<void(bool)>> m_waiting;
};
