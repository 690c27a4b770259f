// What starting the program costs, beside a bare Qt program showing an empty
// window in the same run (this binary with --baseline-child), so a busy machine
// slows both sides alike.
//
//   cold_start  process start until the main window is shown ("MAC OS UUID"
//               follows it in the launch), with 10,000 translations stored;
//               goal 500 ms
//   idle_rss    resident memory one second after the window was shown; goal 80 MB
#include "core/QVStoreConfiguration.h"
#include "services/languages/QVLanguageService.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVTranslationRealm.h"
#include "startup/QVStoreMigration.h"
#include "platform/AppPaths.h"
#include "platform/store/Store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kTranslations = 10000;
constexpr double kGoalMs = 500;
constexpr double kGoalMegabytes = 80;
const QByteArray kShownMarker = "MAC OS UUID:";
const QByteArray kBaselineArgument = "--baseline-child";

std::unique_ptr<QTemporaryDir> g_home;

// A home whose store holds the catalogue and kTranslations translations.
bool prepareHome() {
    g_home = std::make_unique<QTemporaryDir>();
    platform::AppPaths::setRoot(g_home->path());
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return false;
    if (QVLanguageService::initializeDefaultLanguages())
        return false;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    const platform::Object english = store.objectForPrimaryKey("QVLanguageRealm", QStringLiteral("en_GB"));
    const platform::Object german = store.objectForPrimaryKey("QVLanguageRealm", QStringLiteral("de_DE"));
    const platform::Error error = store.write([&](platform::Transaction &tx) {
        for (int i = 1; i <= kTranslations; ++i)
            tx.create(QVTranslationRealm::storeClassName(),
                      {{"idTranslation", i},
                       {"originalText", QStringLiteral("The house by the river number %1").arg(i)},
                       {"translatedText", QStringLiteral("Das Haus am Fluss Nummer %1").arg(i)},
                       {"languageFrom", QVariant::fromValue(english)},
                       {"languageTo", QVariant::fromValue(german)},
                       {"isFavorite", i % 10 == 0},
                       {"createdDate", 7.0e8 + i}});
    });
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(QString());
    return !error;
}

struct Started {
    std::unique_ptr<QProcess> process;
    double shownMs = -1;
};

// Starts the program (or the baseline) and waits until its window is shown.
Started startUntilShown(const QString &program, const QStringList &arguments) {
    Started started;
    started.process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QV_HOME", g_home->path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // No backend and no session bus: the start must not wait for either.
    for (const char *host : {"QV_API_HOST", "QV_ACCOUNT_HOST", "QV_CLIENT_HOST", "QV_PUSH_HOST",
                             "QV_ANALYTICS_HOST", "QV_MAKER_DOMAIN"})
        environment.insert(host, "http://127.0.0.1:9");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    started.process->setProcessEnvironment(environment);
    started.process->setProcessChannelMode(QProcess::SeparateChannels);
    QByteArray seen;
    QElapsedTimer timer;
    timer.start();
    started.process->start(program, arguments);
    while (timer.elapsed() < 30000 && started.process->state() != QProcess::NotRunning) {
        started.process->waitForReadyRead(5);
        seen += started.process->readAllStandardError();
        if (seen.contains(kShownMarker)) {
            started.shownMs = timer.nsecsElapsed() / 1e6;
            break;
        }
    }
    return started;
}

void stop(Started &started) {
    started.process->kill();
    started.process->waitForFinished(5000);
}

double residentMegabytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void runStart(benchmark::State &state, bool baseline) {
    const QString program =
        baseline ? QCoreApplication::applicationFilePath() : QStringLiteral(QV_APP_BINARY);
    const QStringList arguments =
        baseline ? QStringList{QString::fromLatin1(kBaselineArgument)} : QStringList{};
    for (auto _ : state) {
        Started started = startUntilShown(program, arguments);
        stop(started);
        if (started.shownMs < 0) {
            state.SkipWithError("the window was never shown");
            return;
        }
        state.SetIterationTime(started.shownMs / 1000.0);
    }
    state.counters["goal_ms"] = kGoalMs;
}

void BM_ColdStartToWindow(benchmark::State &state) {
    runStart(state, false);
}
void BM_BaselineQtWindow(benchmark::State &state) {
    runStart(state, true);
}

void runIdle(benchmark::State &state, bool baseline) {
    const QString program =
        baseline ? QCoreApplication::applicationFilePath() : QStringLiteral(QV_APP_BINARY);
    const QStringList arguments =
        baseline ? QStringList{QString::fromLatin1(kBaselineArgument)} : QStringList{};
    double megabytes = -1;
    for (auto _ : state) {
        Started started = startUntilShown(program, arguments);
        if (started.shownMs < 0) {
            stop(started);
            state.SkipWithError("the window was never shown");
            return;
        }
        QThread::msleep(1000);
        megabytes = residentMegabytes(started.process->processId());
        stop(started);
    }
    state.counters["rss_MB"] = megabytes;
    state.counters["goal_MB"] = kGoalMegabytes;
}

void BM_IdleResidentMemory(benchmark::State &state) {
    runIdle(state, false);
}
void BM_BaselineIdleResidentMemory(benchmark::State &state) {
    runIdle(state, true);
}

BENCHMARK(BM_ColdStartToWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_BaselineQtWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_IdleResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BaselineIdleResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

int baselineChild(int argc, char **argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(800, 600);
    window.show();
    std::fprintf(stderr, "%s baseline\n", kShownMarker.constData());
    return app.exec();
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], kBaselineArgument.constData()) == 0)
            return baselineChild(argc, argv);
    QCoreApplication app(argc, argv);
    if (!prepareHome()) {
        std::fprintf(stderr, "bench_app: the store with %d translations could not be made\n", kTranslations);
        return 1;
    }
    std::printf("store: %d translations in %s\n", kTranslations, qPrintable(g_home->path()));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
