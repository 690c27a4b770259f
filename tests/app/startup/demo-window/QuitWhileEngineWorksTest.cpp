// Quitting while the offline engine loads or translates: the program as a user starts it, with
// the demo package, quits at moments across its first seconds; each quit must end the process
// normally (a quit during a load used to crash in the inference library's teardown), say on the
// terminal when it left without the engine, and leave the store and settings as they were last
// committed.
#include "DemoInstall.h"

#include "core/models/QVTranslationRealm.h"
#include "core/settings/QVSettingsService.h"
#include "platform/AppPaths.h"
#include "platform/store/Store.h"
#include "startup/QVApplicationMain.h"
#include "startup/QVSystemLaunchDependencies.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProbeRun {
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QByteArray errors;
};

const QString kFirstText = QStringLiteral("The old tree");
const QString kSentence = QStringLiteral("The old tree is green and the house is by the river.");
// Long enough for the engine to be at it well past the quit's wait on this kind of machine.
constexpr int kSentences = 15000;

ProbeRun runProbe(const QString &home, const QString &moment, int delayMs) {
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QV_HOME"), home);
    environment.insert(QStringLiteral("QV_NETWORK_STATUS"), QStringLiteral("offline"));
    // As a user starts it: the terminal shows warnings and errors only.
    environment.remove(QStringLiteral("QV_VERBOSE"));
    environment.insert(QStringLiteral("QV_PROBE_FIRST_TEXT"), kFirstText);
    environment.insert(QStringLiteral("QV_PROBE_SECOND_TEXT"), kSentence);
    environment.insert(QStringLiteral("QV_PROBE_SECOND_TIMES"), QString::number(kSentences));
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

// What the home holds once the program is gone, read as the next start reads it.
struct Reopened {
    QString storeError;
    int salvages = -1;
    QStringList originals; // of the stored translations
    QStringList translations;
    QString pair;
    QSettings::Status defaultsStatus = QSettings::AccessError;
    bool defaultsKeepTheVisitor = false;
};

Reopened reopen(const QString &home) {
    Reopened found;
    platform::AppPaths::setRoot(home);
    {
        QVSystemLaunchDependencies system;
        const QVStoreOpening opening = system.migrationRealm();
        if (opening.error)
            found.storeError = opening.error.localizedDescription();
        found.salvages = int(opening.salvages.size());
        if (!opening.error) {
            const platform::ObjectStore store = platform::ObjectStore::defaultStore();
            for (const QVTranslationRealm &record :
                 store.objects(QVTranslationRealm::storeClassName()).toList<QVTranslationRealm>()) {
                found.originals.append(record.originalText());
                found.translations.append(record.translatedText());
            }
            found.pair =
                QVSettingsService::languageFrom() + QStringLiteral(">") + QVSettingsService::languageTo();
        }
    }
    platform::ObjectStore::resetDefaultStore();
    QSettings defaults(QDir(home).filePath(QStringLiteral("config/user-defaults.ini")), QSettings::IniFormat);
    found.defaultsStatus = defaults.status();
    found.defaultsKeepTheVisitor =
        !defaults.value(QStringLiteral("kQVAnalyticsVisitorId")).toString().isEmpty();
    platform::AppPaths::setRoot(QString());
    return found;
}

enum class Road { Fast, Waited, Either };

} // namespace

TEST(QuitWhileEngineWorks, EveryQuitEndsNormallyWhateverTheEngineIsDoing) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_EQ(installDemoPackage(home.path()).toStdString(), "");

    const struct {
        const char *moment;
        int delayMs;
        Road road;
    } cases[] = {
        // The first load begins: the inference library is being opened, which takes longer than
        // the quit waits.
        {"engine", 0, Road::Fast},
        // Inside the model loader and the warm-up run that follows it.
        {"engine", 100, Road::Either},
        {"engine", 400, Road::Either},
        {"engine", 900, Road::Either},
        // Before the engine was let start, and after it had time to finish.
        {"shown", 0, Road::Waited},
        {"shown", 6000, Road::Waited},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.moment) + " +" + std::to_string(c.delayMs) + " ms");
        const ProbeRun run = runProbe(home.path(), QString::fromLatin1(c.moment), c.delayMs);
        EXPECT_TRUE(run.errors.contains("quitting")) << run.errors.toStdString();
        EXPECT_EQ(run.status, QProcess::NormalExit) << run.errors.toStdString();
        EXPECT_EQ(run.code, 0) << run.errors.toStdString();
        if (c.road != Road::Either) {
            EXPECT_EQ(run.errors.contains(QVApplicationMain::kFastExitLog), c.road == Road::Fast)
                << run.errors.toStdString();
        }
    }
}

// A quit while the engine translates a long text, just after a first translation was stored: the
// next start finds the store sound, that translation kept, nothing of the cut one, and the
// settings as they were.
TEST(QuitWhileEngineWorks, AQuitDuringATranslationKeepsWhatWasCommittedAndNothingHalfWritten) {
    for (const int delayMs : {0, 50}) {
        SCOPED_TRACE(delayMs);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        ASSERT_EQ(installDemoPackage(home.path()).toStdString(), "");
        const ProbeRun run = runProbe(home.path(), QStringLiteral("translate"), delayMs);
        const std::string errors = run.errors.toStdString();
        ASSERT_TRUE(run.errors.contains("first translation stored")) << errors;
        EXPECT_TRUE(run.errors.contains("quitting")) << errors;
        EXPECT_EQ(run.status, QProcess::NormalExit) << errors;
        EXPECT_EQ(run.code, 0) << errors;
        std::printf("quit %d ms into the translation: %s\n", delayMs,
                    run.errors.contains(QVApplicationMain::kFastExitLog) ? "left without the engine"
                                                                         : "the engine finished first");

        const Reopened found = reopen(home.path());
        EXPECT_EQ(found.storeError.toStdString(), "");
        EXPECT_EQ(found.salvages, 0);
        EXPECT_TRUE(QDir(home.filePath(QStringLiteral("state")))
                        .entryList({QStringLiteral("*.damaged-*")}, QDir::Files)
                        .isEmpty());
        ASSERT_EQ(found.originals, QStringList{kFirstText});
        EXPECT_FALSE(found.translations.value(0).trimmed().isEmpty());
        EXPECT_EQ(found.pair, QStringLiteral("en_GB>de_DE"));
        EXPECT_EQ(found.defaultsStatus, QSettings::NoError);
        EXPECT_TRUE(found.defaultsKeepTheVisitor);
    }
}
