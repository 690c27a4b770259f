// The program as a user starts it, leaving in its first moments: a quit while the launch is still
// being made, and the return when the store is refused. Every road ends the process normally,
// with nothing of the launch still running once the application object goes (the launch's
// preload thread uses the platform integration and Qt's thread pool, which go with it).
#include "core/QVStoreConfiguration.h"
#include "platform/AppPaths.h"
#include "platform/store/Store.h"
#include "startup/AppDelegate.h"

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
    // The launch's diagnostic lines too: the preload's join is one.
    environment.insert(QStringLiteral("QV_VERBOSE"), QStringLiteral("1"));
    probe.setProcessEnvironment(environment);
    // A bus of its own, so that the probe never hands over to another test's window.
    probe.start(QStringLiteral("dbus-run-session"),
                {QStringLiteral("--"), QStringLiteral(QUIT_PROBE), moment, QString::number(delayMs)});
    if (!probe.waitForFinished(120000)) {
        probe.kill();
        probe.waitForFinished();
    }
    return {probe.exitStatus(), probe.exitCode(), probe.readAllStandardError()};
}

// A store written by a newer version: the launch explains it and returns without touching it.
void makeNewerStore(const QString &home) {
    platform::AppPaths::setRoot(home);
    platform::StoreConfiguration newer = QVStoreConfiguration::defaultConfiguration();
    newer.path = QDir(platform::AppPaths::ensure(platform::AppPaths::state())).filePath("default.sqlite");
    newer.schemaVersion = QVStoreConfiguration::kSchemaVersion + 1;
    platform::Error error;
    {
        const platform::ObjectStore store = platform::ObjectStore::open(newer, &error);
        EXPECT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
    }
    platform::AppPaths::setRoot(QString());
}

} // namespace

TEST(EarlyQuit, EveryEarlyEndLeavesNothingOfTheLaunchRunning) {
    const struct {
        const char *name;
        int delayMs;
        bool storeRefused;
        int code;
    } cases[] = {
        // The store's alert is closed as it opens; no quit is asked.
        {"store refused", 600000, true, AppDelegate::kStoreRefusedExitCode},
        {"quit at once", 0, false, 0},
        {"quit after 10 ms", 10, false, 0},
        {"quit after 25 ms", 25, false, 0},
        {"quit after 50 ms", 50, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        if (c.storeRefused)
            makeNewerStore(home.path());
        const ProbeRun run = runProbe(home.path(), QStringLiteral("start"), c.delayMs);
        const std::string errors = run.errors.toStdString();
        EXPECT_EQ(run.status, QProcess::NormalExit) << errors;
        EXPECT_EQ(run.code, c.code) << errors;
        EXPECT_TRUE(run.errors.contains(c.storeRefused ? "closed a box" : "quitting")) << errors;
        EXPECT_FALSE(run.errors.contains("preload thread outlived the application")) << errors;
        // Joined while the application still stood.
        const qsizetype joined = run.errors.indexOf("[launch] preload thread joined");
        ASSERT_GE(joined, 0) << errors;
        EXPECT_LT(joined, run.errors.indexOf("the application object goes")) << errors;
    }
}
