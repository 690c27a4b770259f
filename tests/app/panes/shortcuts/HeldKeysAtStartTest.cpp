// The program as a user starts it, on an X server where another client already holds the fixed
// keys (as openbox and GNOME on X11 do): the start shows its window and nothing modal, the held
// keys are told once, and Ctrl+Q ends it at once.
#include "X11KeyHolder.h"

#include "support/EventLoop.h"
#include "support/FakeNotifications.h"
#include "support/PrivateBus.h"
#include "support/XvfbSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray kToldLine = "[shortcuts] held keys told in a desktop notification";
const QByteArray kUntoldLine = "[shortcuts] no desktop notifications here; the shortcuts tab says: ";
const QString kHeld = QStringLiteral("%1 is taken by another program: free it in your desktop's keyboard "
                                     "settings to use it here");

QByteArray xdotool(const QString &display, const QStringList &arguments) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return tool.readAllStandardOutput();
}

// The program's visible windows, by their names.
QStringList windowNames(const QString &display, qint64 pid) {
    QStringList names;
    for (const QByteArray &id :
         xdotool(display, {"search", "--onlyvisible", "--pid", QString::number(pid)}).split('\n'))
        if (!id.trimmed().isEmpty())
            names
                << QString::fromUtf8(xdotool(display, {"getwindowname", QString::fromLatin1(id)})).trimmed();
    return names;
}

} // namespace

TEST(HeldKeysAtStart, TheStartShowsNoBoxTellsTheKeysOnceAndQuitsAtOnce) {
    if (QProcess::execute(QStringLiteral("sh"), {"-c", "command -v Xvfb xdotool >/dev/null"}) != 0)
        GTEST_SKIP() << "needs Xvfb and xdotool";
    struct Case {
        const char *name;
        bool notificationService;
        QByteArray line; // what the log says of the held keys
    } cases[] = {
        {"no notification service", false,
         kUntoldLine + (kHeld.arg("Ctrl+Alt+Left") + "; " + kHeld.arg("Ctrl+Alt+Right")).toUtf8()},
        {"a notification service", true, kToldLine},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::XvfbSession x11;
        ASSERT_TRUE(x11.isRunning());
        qvtest::X11KeyHolder holder(x11.display());
        ASSERT_TRUE(holder.isHolding());
        qvtest::PrivateBus bus;
        ASSERT_TRUE(bus.isRunning());
        qvtest::FakeNotifications notifications;
        if (c.notificationService) {
            ASSERT_TRUE(notifications.start(bus.connect(QStringLiteral("desktop"))));
        }
        QTemporaryDir home;
        QTemporaryDir runtime;
        ASSERT_TRUE(home.isValid() && runtime.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QVariantMap display = x11.childEnvironment();
        for (auto it = display.cbegin(); it != display.cend(); ++it)
            environment.insert(it.key(), it.value().toString());
        environment.insert(QStringLiteral("QV_HOME"), home.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        environment.insert(QStringLiteral("QV_NETWORK_STATUS"), QStringLiteral("offline"));
        environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        // The shortcuts' lines are information lines: the terminal shows them only when verbose.
        environment.insert(QStringLiteral("QV_VERBOSE"), QStringLiteral("1"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(QV_APP_BINARY), {});
        ASSERT_TRUE(program.waitForStarted(30000));
        QByteArray output;
        const bool told = qvtest::waitUntil(
            [&] {
                output += program.readAll();
                return output.contains(c.line) || program.state() != QProcess::Running;
            },
            60000);
        EXPECT_TRUE(told && output.contains(c.line)) << output.constData();
        // Anything shown with the held keys is on the screen by now.
        qvtest::spin(300);
        const QStringList windows = windowNames(x11.display(), program.processId());
        EXPECT_EQ(windows.size(), 1) << windows.join(QStringLiteral(", ")).toStdString();
        if (c.notificationService) {
            EXPECT_EQ(notifications.shown,
                      QStringList{QStringLiteral("Quorvalde Translator|") + kHeld.arg("Ctrl+Alt+Left") +
                                  "\n" + kHeld.arg("Ctrl+Alt+Right")});
        }

        const QByteArray id =
            xdotool(x11.display(), {"search", "--onlyvisible", "--pid", QString::number(program.processId())})
                .split('\n')
                .first();
        xdotool(x11.display(), {"windowfocus", "--sync", QString::fromLatin1(id)});
        xdotool(x11.display(), {"key", "ctrl+q"});
        const bool ended = qvtest::waitUntil([&] { return program.state() == QProcess::NotRunning; }, 20000);
        EXPECT_TRUE(ended) << "Ctrl+Q did not end the program";
        if (!ended) {
            program.kill();
            program.waitForFinished(5000);
        }
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << (output + program.readAll()).constData();
    }
}
