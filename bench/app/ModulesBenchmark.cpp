// The first use of each module that loads on demand, each in a process of its own (a module
// loads once per process), under the platform of the environment (run it under xvfb-run for
// X11; offscreen otherwise). Three figures per action:
//
//   held_ms   how long the interface thread was held by the click's own call (the mean)
//   stall_ms  the longest the interface thread went without a turn of its event loop, from the
//             click until ready (the worst run); goal: one frame, 16 ms
//   ready_ms  until what the action needs has loaded and answered on the interface thread
//
//   first_listen    the first Listen: the audio output check and the system voice's start
//                   (a PulseAudio null sink of the benchmark's own when pulseaudio is installed)
//   first_print     the first print, the print dialog declined at once
//   first_pdf_save  the first PDF saved of a one-page translation (Qt's own writer, on a pool thread)
//   first_document  the first document sent: the document service's web socket made
#include "BenchHome.h"

#include "services/documents/QVDocumentSocket.h"
#include "services/documents/QVPdfModule.h"
#include "services/speech/QVMSpeechSynthesizerService.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/panels/QVMResultWriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

QString g_self;

// Runs `start` on the shown window's event loop; `start` calls `ready` once what it loads answered.
// Prints "held stall ready" in milliseconds: the click's own call, the longest the event loop went
// without a turn from the click until ready, and the time until ready.
int measure(const std::function<void(const std::function<void()> &ready)> &start) {
    QMainWindow window;
    window.resize(400, 300);
    window.show();
    QElapsedTimer clock;
    double held = -1, ready = -1, stall = 0, lastTurn = 0;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        stall = std::max(stall, now - lastTurn);
        lastTurn = now;
    });
    const auto finish = [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        stall = std::max(stall, now - lastTurn);
        turns.stop();
        QCoreApplication::quit();
    };
    QTimer::singleShot(200, [&] {
        clock.start();
        turns.start();
        start([&] {
            if (ready < 0)
                ready = double(clock.nsecsElapsed()) / 1e6;
            if (held >= 0)
                finish();
        });
        held = double(clock.nsecsElapsed()) / 1e6;
        if (ready >= 0)
            finish();
    });
    QTimer::singleShot(60000, [] { QCoreApplication::exit(2); });
    const int status = QApplication::exec();
    std::printf("%.3f %.3f %.3f\n", held, stall, ready);
    std::fflush(stdout);
    return status;
}

int child(const QString &action) {
    if (action == QLatin1String("listen")) {
        // As the main window's Listen does: is there an output, then speak. Ready once the
        // system voice has started, or the speech has ended (no output, no voice).
        bench::Home home;
        home.prepare(false);
        const QVLanguageRealm english(platform::ObjectStore::defaultStore().objectForPrimaryKey(
            QVLanguageRealm::storeClassName(), QStringLiteral("en_GB")));
        return measure([english](const std::function<void()> &ready) {
            QObject::connect(&QVMSpeechSynthesizerService::sharedInstance().engine(), &QVSpeechEngine::ready,
                             ready);
            QVMSpeech &speech = QVMGeneralServices::shared().speech();
            if (!speech.hasVoiceOutput()) {
                ready();
                return;
            }
            speech.speakText(QStringLiteral("Hello"), english, [ready](bool) { ready(); });
        });
    }
    if (action == QLatin1String("print")) {
        return measure([](const std::function<void()> &ready) {
            // As the main window's Print does: the module loads, then the dialog (declined at once).
            QVPdfModule::load(nullptr, [ready] {
                QTextDocument text;
                text.setPlainText(QStringLiteral("Printed"));
                QVPdfModule::print(text, nullptr, [](QPrinter &) { return false; });
                ready();
            });
        });
    }
    if (action == QLatin1String("pdf")) {
        // As the main window's save does: written on a pool thread, ready when it says so.
        QTemporaryDir folder;
        QTextDocument text;
        text.setPlainText(QStringLiteral("Saved as a PDF"));
        return measure([&](const std::function<void()> &ready) {
            QVMResultWriter::writePdfInBackground(text, folder.filePath(QStringLiteral("saved.pdf")),
                                                  QCoreApplication::instance(),
                                                  [ready](const platform::Error &) { ready(); });
        });
    }
    if (action == QLatin1String("socket")) {
        // As a document sent does: the socket is made once its module has loaded.
        return measure([](const std::function<void()> &ready) {
            QVDocumentSocket::createWhenLoaded(1 << 20, nullptr,
                                               [ready](QVDocumentSocket *socket, const QString &) {
                                                   delete socket;
                                                   ready();
                                               });
        });
    }
    return 3;
}

// A null sink, so the first Listen takes the road it takes on a desktop with sound.
struct AudioServer {
    AudioServer() {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
            return;
        process.start(QStringLiteral("pulseaudio"),
                      {"--daemonize=no", "--exit-idle-time=-1", "-n", "--load=module-null-sink",
                       "--load=module-native-protocol-unix"});
        process.waitForStarted();
        QProcess probe;
        for (int i = 0; i < 50; ++i) {
            probe.start(QStringLiteral("pactl"), {"info"});
            if (probe.waitForFinished(2000) && probe.exitCode() == 0)
                break;
            QThread::msleep(100);
        }
    }
    ~AudioServer() {
        if (process.state() == QProcess::Running) {
            process.terminate();
            process.waitForFinished(3000);
        }
    }
    QProcess process;
};

void firstUse(benchmark::State &state, const char *action) {
    double held = 0, stall = 0, ready = 0;
    for (auto _ : state) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(g_self, {QStringLiteral("--child"), QString::fromLatin1(action)});
        if (!process.waitForFinished(90000) || process.exitCode() != 0) {
            state.SkipWithError("the measuring process failed");
            return;
        }
        const QList<QByteArray> figures = process.readAllStandardOutput().trimmed().split(' ');
        held += figures.value(0).toDouble();
        stall = std::max(stall, figures.value(1).toDouble());
        ready += figures.value(2).toDouble();
    }
    state.counters["held_ms"] = held / double(state.iterations());
    state.counters["stall_ms"] = stall;
    state.counters["ready_ms"] = ready / double(state.iterations());
    state.counters["goal_ms"] = 16;
}

void first_listen(benchmark::State &state) {
    firstUse(state, "listen");
}
BENCHMARK(first_listen)->Unit(benchmark::kMillisecond)->Iterations(5);

void first_print(benchmark::State &state) {
    firstUse(state, "print");
}
BENCHMARK(first_print)->Unit(benchmark::kMillisecond)->Iterations(5);

void first_pdf_save(benchmark::State &state) {
    firstUse(state, "pdf");
}
BENCHMARK(first_pdf_save)->Unit(benchmark::kMillisecond)->Iterations(5);

void first_document(benchmark::State &state) {
    firstUse(state, "socket");
}
BENCHMARK(first_document)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && QByteArray(argv[1]) == "--child") {
        QApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    g_self = QCoreApplication::applicationFilePath();
    AudioServer audio;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
