// Quitting while the offline engine loads or translates: the program as a user starts it, with
// the demo package, quits at moments across its first seconds; each quit must end the process
// normally (a quit during a load used to crash in the inference library's teardown).
#include "DemoInstall.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProbeRun {
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QByteArray errors;
};

ProbeRun runProbe(const QString &home, const QString &moment, int delayMs) {
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QV_HOME"), home);
    environment.insert(QStringLiteral("QV_NETWORK_STATUS"), QStringLiteral("offline"));
    probe.setProcessEnvironment(environment);
    // A bus of its own: on the tests' shared bus another test's window may hold the program's name,
    // and the probe would hand over to it instead of starting.
    probe.start(QStringLiteral("dbus-run-session"),
                {QStringLiteral("--"), QStringLiteral(QUIT_PROBE), moment, QString::number(delayMs)});
    ProbeRun run;
    if (!probe.waitForFinished(120000)) {
        probe.kill();
        probe.waitForFinished();
    }
    run.status = probe.exitStatus();
    run.code = probe.exitCode();
    run.errors = probe.readAllStandardError();
    return run;
}

} // namespace

TEST(QuitWhileEngineWorks, EveryQuitEndsNormallyWhateverTheEngineIsDoing) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_EQ(installDemoPackage(home.path()).toStdString(), "");

    const struct {
        const char *moment;
        int delayMs;
    } cases[] = {
        // The first load begins: the inference library is being opened.
        {"engine", 0},
        // Inside the model loader and the warm-up run that follows it.
        {"engine", 100},
        {"engine", 400},
        {"engine", 900},
        // Before the engine was let start, and after it had time to finish.
        {"shown", 0},
        {"shown", 6000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.moment) + " +" + std::to_string(c.delayMs) + " ms");
        const ProbeRun run = runProbe(home.path(), QString::fromLatin1(c.moment), c.delayMs);
        EXPECT_TRUE(run.errors.contains("quitting")) << run.errors.toStdString();
        EXPECT_EQ(run.status, QProcess::NormalExit) << run.errors.toStdString();
        EXPECT_EQ(run.code, 0) << run.errors.toStdString();
    }
}
