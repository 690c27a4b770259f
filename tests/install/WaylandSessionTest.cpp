// The real program under a headless Wayland compositor: it starts on the Wayland platform,
// translates offline what the command line hands it, and a session's end quits it cleanly.
#include "RealProgram.h"
#include "WestonSession.h"

#include "app/startup/demo-window/DemoInstall.h"
#include "support/PrivateBus.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr const char *kOriginal = "The old tree";

} // namespace

TEST(WaylandSession, TheProgramTranslatesFromTheCommandLineAndEndsCleanlyWhenTheSessionEnds) {
    qvtest::WestonSession wayland;
    ASSERT_TRUE(wayland.isRunning()) << wayland.log().toStdString();
    const struct {
        const char *name;
        int signalNumber;
    } cases[] = {
        {"the session's end (SIGTERM)", SIGTERM},
        {"the terminal's interrupt (SIGINT)", SIGINT},
        {"the terminal's hang-up (SIGHUP)", SIGHUP},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        ASSERT_EQ(installDemoPackage(home.path()).toStdString(), "");
        qvtest::PrivateBus bus;
        ASSERT_TRUE(bus.isRunning());
        QVariantMap environment = wayland.childEnvironment();
        environment.insert(QStringLiteral("QV_HOME"), home.path());
        environment.insert(QStringLiteral("QV_NETWORK_STATUS"), QStringLiteral("offline"));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        QProcess program;
        program.setProcessEnvironment(qvtest::programEnvironment(environment));
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(QV_APP_BINARY),
                      {QStringLiteral("--show-translate"), QString::fromLatin1(kOriginal)});
        ASSERT_TRUE(program.waitForStarted(30000));

        const QString translated =
            qvtest::waitForTranslation(QDir(home.path()).filePath(QStringLiteral("state/default.sqlite")),
                                       QString::fromLatin1(kOriginal), program, 120000);
        EXPECT_TRUE(translated.contains(QLatin1String("Baum"))) << translated.toStdString();
        // Drawn through Qt's Wayland platform, not an X server's.
        const QStringList opened = qvtest::openedPaths(program.processId());
        EXPECT_FALSE(opened.filter(QStringLiteral("/platforms/libqwayland")).isEmpty())
            << opened.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(opened.filter(QStringLiteral("/platforms/libqxcb")).isEmpty());

        QString why;
        EXPECT_TRUE(qvtest::endsCleanlyOn(program, c.signalNumber, &why)) << why.toStdString();
    }
}
