#pragma once

#include <QString>

// What an incoming push payload shows on the desktop: a sound, the launcher
// badge and a notification. Implementations never block the caller.
class QVNotificationPresenter {
public:
    virtual ~QVNotificationPresenter() = default;

    // The desktop's own alert sound.
    virtual void playAlertSound() = 0;
    // A sound file of the application's resources (a checked path, never a name from outside).
    virtual void playSoundFile(const QString &path) = 0;
    // The badge on the application's launcher entry; an empty label removes it.
    virtual void setBadgeLabel(const QString &label) = 0;
    // A desktop notification; the title may be empty.
    virtual void showAlert(const QString &title, const QString &body) = 0;
};
