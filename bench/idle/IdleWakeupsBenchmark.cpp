// How often the main thread of the program wakes while the window is open and
// nothing happens, beside a bare Qt program showing an empty window in the same
// run (this binary with --baseline-child). A wake-up is a context switch of the
// main thread (/proc/<pid>/task/<pid>/status), counted over 30 s after the
// window has been shown for 3 s. Goal: 1.2 per second (the clipboard poll).
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

constexpr double kGoalPerSecond = 1.2;
constexpr int kSettleMs = 3000;
constexpr int kMeasureMs = 30000;
const QByteArray kShownMarker = "MAC OS UUID:";
const QByteArray kBaselineArgument = "--baseline-child";

// Voluntary plus involuntary context switches of the process's main thread; -1 when unreadable.
qint64 mainThreadSwitches(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/task/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    qint64 total = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
            total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return total;
}

// Starts the program (or the baseline) in a fresh home with no backend; true once its window is shown.
bool startUntilShown(QProcess &process, const QTemporaryDir &home, bool baseline) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QV_HOME", home.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    process.setProcessEnvironment(environment);
    process.start(baseline ? QCoreApplication::applicationFilePath() : QStringLiteral(QV_APP_BINARY),
                  baseline ? QStringList{QString::fromLatin1(kBaselineArgument)} : QStringList{});
    QByteArray seen;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000 && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(20);
        seen += process.readAllStandardError();
        if (seen.contains(kShownMarker))
            return true;
    }
    return false;
}

void runIdle(benchmark::State &state, bool baseline) {
    double perSecond = -1;
    for (auto _ : state) {
        QTemporaryDir home;
        QProcess process;
        process.setProcessChannelMode(QProcess::SeparateChannels);
        if (!startUntilShown(process, home, baseline)) {
            process.kill();
            process.waitForFinished(5000);
            state.SkipWithError("the window was never shown");
            return;
        }
        // Whatever the program prints meanwhile is read after, so this process wakes it for nothing.
        QThread::msleep(kSettleMs);
        const qint64 before = mainThreadSwitches(process.processId());
        QThread::msleep(kMeasureMs);
        const qint64 after = mainThreadSwitches(process.processId());
        process.kill();
        process.waitForFinished(5000);
        if (before < 0 || after < 0) {
            state.SkipWithError("the main thread's counters could not be read");
            return;
        }
        perSecond = double(after - before) / (kMeasureMs / 1000.0);
        state.SetIterationTime(kMeasureMs / 1000.0);
    }
    state.counters["wakeups_per_s"] = perSecond;
    state.counters["goal_per_s"] = kGoalPerSecond;
    std::printf("%s: %.2f main-thread wake-ups per second over %d s (goal %.1f)\n",
                baseline ? "bare Qt window" : "main window", perSecond, kMeasureMs / 1000, kGoalPerSecond);
}

void BM_IdleWakeupsMainWindow(benchmark::State &state) {
    runIdle(state, false);
}
void BM_IdleWakeupsBaselineQtWindow(benchmark::State &state) {
    runIdle(state, true);
}

BENCHMARK(BM_IdleWakeupsMainWindow)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_IdleWakeupsBaselineQtWindow)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
