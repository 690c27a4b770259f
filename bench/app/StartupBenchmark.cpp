// What starting the program costs, beside a bare Qt program showing an empty window in the same
// run (bench_bare_window, which links Qt Widgets and nothing of ours), measured in turns so a busy
// machine slows all alike, on the platform a user meets: X11, an Xvfb of the benchmark's own, the
// xcb platform. Each program is started as a user starts it (its environment as the benchmark's,
// without QV_VERBOSE: the terminal shows warnings only), and its first frame is seen on the X
// server, as a user sees it.
// Every start is offline (QV_NETWORK_STATUS=offline), with no backend, on a session bus of the
// benchmark's own as a desktop session has one (without any, each start would have D-Bus launch
// a bus of its own through the X server).
//
//   first frame  process start until the X server holds the first pixels the main window drew,
//                with 0, 100,000 and 1,000,000 translations stored, and with the English-German
//                demo package installed (made as scripts/run makes it) and the pair English to
//                German; goal 300 ms and at most x1.5 of the bare window
//   idle RSS     resident memory 1 s after the first frame, before any translation; goal 80 MB.
//                Also after 5 s, once the engine had time to load its models.
//   libs, thr    shared libraries mapped and threads running 1 s after the first frame
//   load         the machine's one-minute load average while the case ran (median)
//   translation  the first and the tenth offline translation of a short sentence, from the
//                window being shown, asked at once and asked after 5 s idle (this binary with
//                --translating-child, which runs the program's own start-up and asks as the
//                main window does; offscreen), with the demo package and with a package holding
//                the model maker's base transformer (6+6 layers, width 512; untrained, so its
//                output is not German, but it costs what a real base model costs); goal: the
//                first within 1.5 s of the window
//
// Figures are printed, never asserted. BENCH_WORK_DIR keeps the homes between runs. Without Xvfb
// only the translations are measured.
#include "BenchHome.h"
#include "X11FrameWatch.h"
#include "core/QVStoreConfiguration.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVTranslationRealm.h"
#include "core/settings/QVSettingsService.h"
#include "platform/AppPaths.h"
#include "platform/store/Store.h"
#include "services/languages/QVLanguageService.h"
#include "services/offline/QVMSynaptraService.h"
#include "startup/QVApplicationMain.h"
#include "startup/QVStoreMigration.h"
#include "support/PrivateBus.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kStartRounds = 9;
constexpr int kTranslationRounds = 3;
constexpr int kTranslations = 10;
constexpr double kGoalMs = 300;
constexpr double kGoalRatio = 1.5;
constexpr double kGoalMegabytes = 80;
constexpr double kGoalFirstTranslationMs = 1500;
constexpr int kIdleBeforeAskingMs = 5000;
const QByteArray kTranslatingArgument = "--translating-child";
const QByteArray kPrepareOnlyArgument = "--prepare-only"; // makes the homes, measures nothing
const QString kSentence = QStringLiteral("The door is green and the house is old.");

struct Home {
    QString name;
    QString path;
};

QString workDir() {
    return QStringLiteral(BENCH_WORK_DIR);
}

bool openStore(const QString &home) {
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(home);
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return false;
    return !QVLanguageService::initializeDefaultLanguages();
}

void closeStore() {
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(QString());
}

// A home whose store holds the catalogue and `count` translations, in chunks of one transaction.
bool fillHistory(const QString &home, int count) {
    if (!openStore(home))
        return false;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    const platform::Object english = store.objectForPrimaryKey("QVLanguageRealm", QStringLiteral("en_GB"));
    const platform::Object german = store.objectForPrimaryKey("QVLanguageRealm", QStringLiteral("de_DE"));
    constexpr int kChunk = 10000;
    for (int start = 1; start <= count; start += kChunk) {
        const platform::Error error = store.write([&](platform::Transaction &tx) {
            for (int i = start; i < std::min(count + 1, start + kChunk); ++i)
                tx.create(QVTranslationRealm::storeClassName(),
                          {{"idTranslation", i},
                           {"originalText", QStringLiteral("The house by the river number %1").arg(i)},
                           {"translatedText", QStringLiteral("Das Haus am Fluss Nummer %1").arg(i)},
                           {"languageFrom", QVariant::fromValue(english)},
                           {"languageTo", QVariant::fromValue(german)},
                           {"isFavorite", i % 10 == 0},
                           {"createdDate", 7.0e8 + i}});
        });
        if (error)
            return false;
    }
    closeStore();
    return true;
}

enum class Package { None, Demo, BaseTransformer };

// The base transformer over the demo's tokenizers, installed the way the demo is.
bool makeTransformerPackage(const QString &words, const QString &archive) {
    return bench::runTool(QStringLiteral(BENCH_PACKAGE_MAKER),
                          {"package", "--language", "de", "--model", "transformer", "--model-type", "bpe",
                           "--vocab-size", "8000", "--en-text", words + "/en.txt", "--xx-text",
                           words + "/de.txt", "--model-maker", BENCH_MODEL_MAKER, "--output", archive});
}

// The demo package as scripts/run makes and installs it (or the base transformer in its place),
// and the pair English to German.
bool installPackage(const QString &home, Package package) {
    const QString made = QDir(workDir()).filePath(QStringLiteral("demo"));
    const QString archive = package == Package::Demo
                                ? QDir(made).filePath(QStringLiteral("de.zip"))
                                : QDir(made).filePath(QStringLiteral("de-transformer.zip"));
    if (bench::demoArchive().isEmpty())
        return false;
    if (package == Package::BaseTransformer && !QFile::exists(archive) &&
        !makeTransformerPackage(QDir(made).filePath(QStringLiteral("words")), archive))
        return false;
    if (!bench::runTool(QStringLiteral(BENCH_DEMO_TOOL), {"install", "--archive", archive}, home) ||
        !openStore(home))
        return false;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    const bool ok =
        !QVSettingsService::setLanguageFrom(
            QVLanguageRealm(store.objectForPrimaryKey("QVLanguageRealm", QStringLiteral("en_GB")))) &&
        !QVSettingsService::setLanguageTo(
            QVLanguageRealm(store.objectForPrimaryKey("QVLanguageRealm", QStringLiteral("de_DE"))));
    closeStore();
    return ok;
}

// Made once into the work folder; a home made by an older build is not refreshed.
bool prepareHome(Home &home, int history, Package package) {
    home.path = QDir(workDir()).filePath(home.name);
    const QString done = QDir(home.path).filePath(QStringLiteral(".made"));
    if (QFile::exists(done))
        return true;
    QDir(home.path).removeRecursively();
    QDir().mkpath(home.path);
    std::fprintf(stderr, "bench_app: making the home \"%s\"...\n", qPrintable(home.name));
    if (!fillHistory(home.path, history) || (package != Package::None && !installPackage(home.path, package)))
        return false;
    QFile marker(done);
    return marker.open(QIODevice::WriteOnly);
}

struct Started {
    std::unique_ptr<QProcess> process;
    QByteArray output;
    double shownMs = -1;
};

// The X server the xcb starts draw on; empty for the offscreen platform.
QString g_display;
// The private session bus every start is given; empty when none could be started.
QString g_sessionBus;

QProcessEnvironment childEnvironment(const QString &home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QV_HOME", home);
    if (g_display.isEmpty()) {
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.remove("DISPLAY");
    } else {
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("DISPLAY", g_display);
        environment.insert("XDG_SESSION_TYPE", "x11");
    }
    environment.insert("QV_NETWORK_STATUS", "offline");
    // As a user starts it: the terminal shows warnings and errors only.
    environment.remove("QV_VERBOSE");
    // No backend: the start must not wait for one.
    for (const char *host : {"QV_API_HOST", "QV_ACCOUNT_HOST", "QV_CLIENT_HOST", "QV_PUSH_HOST",
                             "QV_ANALYTICS_HOST", "QV_MAKER_DOMAIN"})
        environment.insert(host, "http://127.0.0.1:9");
    if (g_sessionBus.isEmpty())
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
    else
        environment.insert("DBUS_SESSION_BUS_ADDRESS", g_sessionBus);
    return environment;
}

// Starts a program and waits until the X server shows its window's first frame.
Started startUntilDrawn(X11FrameWatch &watch, const QString &program, const QString &home,
                        int timeoutMs = 30000) {
    Started started;
    started.process = std::make_unique<QProcess>();
    started.process->setProcessEnvironment(childEnvironment(home));
    started.process->setProcessChannelMode(QProcess::SeparateChannels);
    watch.reset();
    QElapsedTimer timer;
    timer.start();
    started.process->start(program, {});
    while (timer.elapsed() < timeoutMs && started.process->state() != QProcess::NotRunning) {
        if (watch.frameDrawn()) {
            started.shownMs = timer.nsecsElapsed() / 1e6;
            break;
        }
        started.process->waitForReadyRead(0);
        started.output += started.process->readAllStandardError();
        QThread::usleep(250);
    }
    return started;
}

// Starts a program and waits until `marker` appears on its standard error.
Started startUntil(const QString &program, const QStringList &arguments, const QString &home,
                   const QByteArray &marker, int timeoutMs = 30000) {
    Started started;
    started.process = std::make_unique<QProcess>();
    started.process->setProcessEnvironment(childEnvironment(home));
    started.process->setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    started.process->start(program, arguments);
    while (timer.elapsed() < timeoutMs && started.process->state() != QProcess::NotRunning) {
        started.process->waitForReadyRead(5);
        started.output += started.process->readAllStandardError();
        if (started.output.contains(marker)) {
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

// A line of /proc/<pid>/status, as a number ("VmRSS:", "Threads:").
double statusField(qint64 pid, const QByteArray &field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble();
    return -1;
}

double residentMegabytes(qint64 pid) {
    return statusField(pid, "VmRSS:") / 1024.0;
}

// Shared libraries mapped, each counted once.
double mappedLibraries(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return -1;
    QSet<QByteArray> libraries;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const int slash = line.indexOf('/');
        if (slash >= 0 && line.contains(".so"))
            libraries.insert(line.mid(slash));
    }
    return libraries.size();
}

double loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

double median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Figures {
    std::vector<double> startMs, rss1, rss5, libraries, threads, load;
};

// --translating-child: the program's own start-up; once the window is shown and exposed (and
// after the delay given), ten translations through the offline bridge, each asked when the last
// answered, as the main window asks. Prints "translated first=<ms> tenth=<ms>": the first from
// the window being shown, the tenth on its own.
struct TranslationProbe {
    QElapsedTimer sinceShown;
    int answered = 0;
    double firstMs = -1;
    double lastMs = 0;
    double askedMs = 0;
    int delayMs = 0;

    void askFirst() {
        askedMs = sinceShown.nsecsElapsed() / 1e6;
        ask();
    }
    void ask() {
        QVMSynaptraService::sharedInstance().translatedTextFromText(
            kSentence, [this](const QString &, const platform::Error &error) {
                // The untrained transformer may answer with no words; only an error fails.
                if (error) {
                    std::fprintf(stderr, "translation failed: %s\n",
                                 qPrintable(error.localizedDescription()));
                    QCoreApplication::exit(1);
                    return;
                }
                const double ms = sinceShown.nsecsElapsed() / 1e6;
                if (++answered == 1)
                    firstMs = ms;
                if (answered < kTranslations) {
                    lastMs = ms;
                    ask();
                    return;
                }
                std::fprintf(stderr, "translated first=%.1f tenth=%.1f asked=%.1f\n", firstMs, ms - lastMs,
                             askedMs);
                std::fflush(stderr);
            });
    }
};

TranslationProbe g_probe;

void watchForTheWindow() {
    auto *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<QMainWindow *>(widget);
            if (!window || !window->isVisible() || !window->windowHandle() ||
                !window->windowHandle()->isExposed())
                continue;
            poll->stop();
            g_probe.sinceShown.start();
            QTimer::singleShot(g_probe.delayMs, Qt::PreciseTimer, [] { g_probe.askFirst(); });
            return;
        }
    });
    poll->start(2);
}

int translatingChild(int argc, char **argv, int delayMs) {
    g_probe.delayMs = delayMs;
    qAddPreRoutine(watchForTheWindow);
    QVApplicationMain::installCrashReporting();
    return QVApplicationMain::run(argc, argv);
}

void printRow(const QString &name, const Figures &f, double baselineMs, bool goals) {
    const double ms = median(f.startMs);
    const double ratio = ms / baselineMs;
    std::printf("  %-22s %8.1f   x%.2f   %6.1f %6.1f   %4.0f %4.0f   %5.1f   %s\n", qPrintable(name), ms,
                ratio, median(f.rss1), median(f.rss5), median(f.libraries), median(f.threads), median(f.load),
                !goals                                                                     ? ""
                : ms <= kGoalMs && ratio <= kGoalRatio && median(f.rss1) <= kGoalMegabytes ? "met"
                                                                                           : "NOT met");
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kTranslatingArgument.constData()) == 0 && i + 1 < argc)
            return translatingChild(argc, argv, std::atoi(argv[i + 1]));
    }
    QCoreApplication app(argc, argv);
    QDir().mkpath(workDir());
    std::vector<std::pair<Home, std::pair<int, Package>>> homes = {
        {{QStringLiteral("history-0"), {}}, {0, Package::None}},
        {{QStringLiteral("history-100000"), {}}, {100000, Package::None}},
        {{QStringLiteral("history-1000000"), {}}, {1000000, Package::None}},
        {{QStringLiteral("demo-package"), {}}, {0, Package::Demo}},
        {{QStringLiteral("base-transformer"), {}}, {0, Package::BaseTransformer}},
    };
    for (auto &[home, what] : homes)
        if (!prepareHome(home, what.first, what.second)) {
            std::fprintf(stderr, "bench_app: the home \"%s\" could not be made\n", qPrintable(home.name));
            return 1;
        }
    if (QCoreApplication::arguments().contains(QString::fromLatin1(kPrepareOnlyArgument)))
        return 0;
    const QString program = QStringLiteral(QV_APP_BINARY);
    const QString self = QCoreApplication::applicationFilePath();

    qvtest::PrivateBus bus;
    if (bus.isRunning())
        g_sessionBus = bus.address();
    else
        std::fprintf(stderr, "bench_app: no dbus-daemon: every start runs without a session bus\n");

    std::unique_ptr<qvtest::XvfbSession> x11 = std::make_unique<qvtest::XvfbSession>();
    std::unique_ptr<X11FrameWatch> watch;
    if (x11->isRunning())
        watch = std::make_unique<X11FrameWatch>(x11->display());
    if (!watch || !watch->isConnected()) {
        std::fprintf(stderr, "bench_app: no Xvfb: the start-up figures are left out\n");
        watch.reset();
        x11.reset();
    }

    // Cold starts and idle memory, every case once per round.
    const QString baseline = QStringLiteral("bare Qt window");
    std::map<QString, Figures> figures;
    if (watch)
        g_display = x11->display();
    for (int round = 0; watch && round < kStartRounds; ++round) {
        for (int c = -1; c < static_cast<int>(homes.size()); ++c) {
            const bool bare = c < 0;
            const QString name = bare ? baseline : homes[static_cast<size_t>(c)].first.name;
            Started started = startUntilDrawn(*watch, bare ? QStringLiteral(BENCH_BARE_WINDOW) : program,
                                              bare ? workDir() : homes[static_cast<size_t>(c)].first.path);
            if (started.shownMs < 0) {
                stop(started);
                std::fprintf(stderr, "bench_app: %s: no first frame\n%s\n", qPrintable(name),
                             started.output.constData());
                return 1;
            }
            Figures &f = figures[name];
            f.startMs.push_back(started.shownMs);
            f.load.push_back(loadAverage());
            // Memory in the first rounds only: each costs five seconds.
            if (round < 3) {
                const qint64 pid = started.process->processId();
                QThread::msleep(1000);
                f.rss1.push_back(residentMegabytes(pid));
                f.libraries.push_back(mappedLibraries(pid));
                f.threads.push_back(statusField(pid, "Threads:"));
                QThread::msleep(4000);
                f.rss5.push_back(residentMegabytes(pid));
            }
            stop(started);
        }
    }
    g_display.clear();

    // Translations with each package: asked at once, and after the window idled.
    struct Translations {
        std::map<int, std::vector<double>> first, tenth, fromAsking;
    };
    std::map<QString, Translations> translations;
    for (int round = 0; round < kTranslationRounds; ++round) {
        for (const auto &[home, what] : homes) {
            if (what.second == Package::None)
                continue;
            Translations &figuresOf = translations[home.name];
            for (int delay : {0, kIdleBeforeAskingMs}) {
                Started started =
                    startUntil(self, {QString::fromLatin1(kTranslatingArgument), QString::number(delay)},
                               home.path, "translated first=", 120000 + delay);
                if (started.shownMs < 0) {
                    stop(started);
                    std::fprintf(stderr, "bench_app: %s: no translation came\n%s\n", qPrintable(home.name),
                                 started.output.constData());
                    return 1;
                }
                started.process->waitForReadyRead(100);
                started.output += started.process->readAllStandardError();
                const QByteArray line = started.output.mid(started.output.indexOf("translated first="));
                double f = -1, t = -1, asked = 0;
                std::sscanf(line.constData(), "translated first=%lf tenth=%lf asked=%lf", &f, &t, &asked);
                figuresOf.first[delay].push_back(f);
                figuresOf.fromAsking[delay].push_back(f - asked);
                figuresOf.tenth[delay].push_back(t);
                stop(started);
            }
        }
    }

    if (watch) {
        const double baselineMs = median(figures[baseline].startMs);
        std::printf(
            "\n== start-up on X11 (Xvfb, xcb; offline, no backend, %s; started as a user starts them, "
            "the first frame seen on the X server; medians of %d starts, memory of 3)\n",
            g_sessionBus.isEmpty() ? "no session bus" : "a private session bus", kStartRounds);
        std::printf("  %-22s %8s   %5s   %6s %6s   %4s %4s   %5s   goals: %.0f ms, x%.1f, %.0f MB at 1 s\n",
                    "case", "frame ms", "ratio", "RSS 1s", "RSS 5s", "libs", "thr", "load", kGoalMs,
                    kGoalRatio, kGoalMegabytes);
        printRow(baseline, figures[baseline], baselineMs, false);
        for (const auto &[home, what] : homes)
            printRow(home.name, figures[home.name], baselineMs, true);
    }
    std::printf("\nOffline translations (offscreen; ms, median of %d starts; the first from the window being "
                "shown, the tenth on its own; load %.1f)\n",
                kTranslationRounds, loadAverage());
    for (auto &[name, figuresOf] : translations) {
        std::printf("  %s\n", qPrintable(name));
        for (int delay : {0, kIdleBeforeAskingMs}) {
            std::printf("    asked %-20s first %8.1f after asking   tenth %7.1f",
                        delay == 0 ? "as the window shows" : "after 5 s idle",
                        median(figuresOf.fromAsking[delay]), median(figuresOf.tenth[delay]));
            if (delay == 0)
                std::printf("   (goal: first within %.0f ms of the window: %.1f, %s)",
                            kGoalFirstTranslationMs, median(figuresOf.first[delay]),
                            median(figuresOf.first[delay]) <= kGoalFirstTranslationMs ? "met" : "NOT met");
            std::printf("\n");
        }
    }
    return 0;
}
