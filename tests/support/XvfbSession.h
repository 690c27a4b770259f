#pragma once

#include <QProcess>
#include <QString>

#include <memory>

namespace qvtest {

// An X server of the test's own (Xvfb picks a free display and tells it), with
// a system tray (trayer) when asked, for tests that need real windows, the
// tray or global key grabs. Stopped with the scope. Run the part that needs
// the display in a child test with DISPLAY = display() and QT_QPA_PLATFORM=xcb.
//
//   qvtest::XvfbSession x11(qvtest::XvfbSession::WithTray);
//   if (!x11.isRunning()) GTEST_SKIP() << "no Xvfb";
//   auto child = qvtest::startChildTest("TrayChild.DISABLED_Click", x11.childEnvironment());
class XvfbSession {
public:
    enum Tray { NoTray, WithTray };
    explicit XvfbSession(Tray tray = NoTray);
    ~XvfbSession();
    XvfbSession(const XvfbSession &) = delete;
    XvfbSession &operator=(const XvfbSession &) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    bool hasTray() const { return m_tray && m_tray->state() == QProcess::Running; }
    // Starts the tray now (a session made without one gets it later, as when a panel starts late).
    bool startTray();
    QString display() const { return m_display; }
    // DISPLAY and the xcb platform for a child test.
    QVariantMap childEnvironment() const;

private:
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_tray;
    QString m_display;
};

} // namespace qvtest
