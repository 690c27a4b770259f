#pragma once

#include <QObject>

#include <functional>

namespace merovantia {

// Watches the session bus for the Secret Service while the file store serves, as when the
// program starts at login before the keyring does. When the service appears, `consider` runs on
// a worker thread and says whether it is done with it (false: look again later, the service
// may still be coming up, its collection not made or unlocked yet); it is looked at again a few
// times, further apart each time, and at every new appearance.
class SecretServiceArrival : public QObject {
public:
    using Consider = std::function<bool()>;

    // Callable from any thread; the watch lives on the application's thread and replaces an
    // earlier one. Nothing happens without an application object or a session bus.
    static void watch(Consider consider);

    // The looks after an appearance: at once, then after 0.5 s, 1 s, ... doubling.
    static constexpr int kLooks = 7;
    static constexpr int kFirstPauseMs = 500;

private:
    explicit SecretServiceArrival(Consider consider);
    void start();
    void appeared();
    void look();

    Consider m_consider;
    int m_looks = 0;
    bool m_looking = false;
    bool m_lookAgain = false;
};

} // namespace merovantia
