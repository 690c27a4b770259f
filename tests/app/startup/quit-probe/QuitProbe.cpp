// The program as main() starts it, quitting itself as a user would (the Quit action's
// QCoreApplication::quit) at a chosen moment:
//   quit_probe start <ms>       that long after the application object was made
//   quit_probe engine <ms>      that long after the offline engine's thread began its first work
//   quit_probe shown <ms>       that long after the main window was shown
//   quit_probe translate <ms>   once the window has translated QV_PROBE_FIRST_TEXT and stored it,
//                               that long after the engine began translating QV_PROBE_SECOND_TEXT
//                               (said QV_PROBE_SECOND_TIMES times over)
// Prints "quitting" when it asks to quit. Every modal box is closed as it opens (the start's
// alert when the store is refused: "closed a box"). As the application object goes it says so
// ("the application object goes"), and a launch preload thread still running too ("preload
// thread outlived the application").
#include "core/models/QVTranslationRealm.h"
#include "platform/store/Store.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/shortcuts/QVMServicesMenu.h"
#include "startup/QVApplicationMain.h"
#include "startup/QVLaunchPreload.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

enum class Moment { Start, Engine, Shown, Translate };

Moment g_moment = Moment::Start;
int g_delayMs = 0;

void say(const char *line) {
    std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
}

bool engineBusy() {
    QVMSynaptraService *engine = QVMSynaptraService::sharedInstanceIfMade();
    return engine && !engine->waitUntilIdle(0);
}

bool windowShown() {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow *>(widget) && widget->isVisible())
            return true;
    return false;
}

int storedTranslations() {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    return store.isNull() ? 0 : store.objects(QVTranslationRealm::storeClassName()).count();
}

// Only an event loop ends at a quit: one asked before the first loop runs would be lost.
void quitFromALoop() {
    if (QThread::currentThread()->loopLevel() == 0) {
        QTimer::singleShot(1, quitFromALoop);
        return;
    }
    say("quitting");
    QCoreApplication::quit();
}

void quitLater() {
    QTimer::singleShot(g_delayMs, Qt::PreciseTimer, quitFromALoop);
}

// Polls every millisecond until `ready` holds, then runs `then` once.
void when(std::function<bool()> ready, std::function<void()> then) {
    auto *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, ready = std::move(ready), then = std::move(then)] {
        if (!ready())
            return;
        poll->stop();
        poll->deleteLater();
        then();
    });
    poll->start(1);
}

void translateThenQuit() {
    QVMServicesMenu::sharedInstance().showTranslate(qEnvironmentVariable("QV_PROBE_FIRST_TEXT"));
    when([] { return storedTranslations() > 0 && !engineBusy(); },
         [] {
             say("first translation stored");
             const QString sentence = qEnvironmentVariable("QV_PROBE_SECOND_TEXT");
             const int times = qEnvironmentVariableIntValue("QV_PROBE_SECOND_TIMES");
             QVMServicesMenu::sharedInstance().showTranslate(
                 QStringList(std::max(times, 1), sentence).join(QLatin1Char(' ')));
             when(engineBusy, quitLater);
         });
}

void closeModalBoxes() {
    auto *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            say("closed a box");
            box->close();
        }
    });
    poll->start(1);
}

bool preloadRunning() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        if (name.open(QIODevice::ReadOnly) &&
            name.readAll().trimmed() == QByteArray(QVLaunchPreload::kThreadName))
            return true;
    }
    return false;
}

void watch() {
    closeModalBoxes();
    // Qt runs its post routines first thing as the application object is destroyed.
    qAddPostRoutine([] {
        say("the application object goes");
        if (preloadRunning())
            say("preload thread outlived the application");
    });
    switch (g_moment) {
    case Moment::Start:
        quitLater();
        break;
    case Moment::Engine:
        when(engineBusy, quitLater);
        break;
    case Moment::Shown:
        when(windowShown, quitLater);
        break;
    case Moment::Translate:
        when(windowShown, translateThenQuit);
        break;
    }
}

} // namespace

int main(int argc, char **argv) {
    const struct {
        const char *name;
        Moment moment;
    } moments[] = {{"start", Moment::Start},
                   {"engine", Moment::Engine},
                   {"shown", Moment::Shown},
                   {"translate", Moment::Translate}};
    bool known = false;
    for (const auto &m : moments)
        if (argc >= 3 && std::strcmp(argv[1], m.name) == 0) {
            g_moment = m.moment;
            known = true;
        }
    if (!known) {
        say("usage: quit_probe start|engine|shown|translate <ms>");
        return 2;
    }
    g_delayMs = std::atoi(argv[2]);
    qAddPreRoutine(watch);
    QVApplicationMain::installCrashReporting();
    return QVApplicationMain::exit(QVApplicationMain::run(1, argv));
}
