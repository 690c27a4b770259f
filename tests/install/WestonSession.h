#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

namespace qvtest {

// A headless Wayland compositor of the test's own (weston's headless backend), with a
// runtime folder of its own; stopped with the scope. It takes no keyboard input: drive the
// program through its command line and the bus.
//
//   qvtest::WestonSession wayland;
//   ASSERT_TRUE(wayland.isRunning()) << wayland.log().toStdString();
//   program.setProcessEnvironment(qvtest::programEnvironment(wayland.childEnvironment()));
class WestonSession {
public:
    WestonSession();
    ~WestonSession();
    WestonSession(const WestonSession &) = delete;
    WestonSession &operator=(const WestonSession &) = delete;

    bool isRunning() const { return m_running; }
    // XDG_RUNTIME_DIR, WAYLAND_DISPLAY and the wayland platform for a client.
    QVariantMap childEnvironment() const;
    QString log() const;

private:
    QTemporaryDir m_runtime;
    QProcess m_compositor;
    QString m_socket;
    bool m_running = false;
};

} // namespace qvtest
