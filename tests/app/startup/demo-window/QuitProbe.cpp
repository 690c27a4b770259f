// The program as main() starts it, quitting itself as a user would (the Quit action's
// QCoreApplication::quit) at a chosen moment:
//   quit_probe engine <ms>   that long after the offline engine's thread began its first work
//   quit_probe shown <ms>    that long after the main window was shown
// Prints "quitting" when it asks to quit.
#include "services/offline/QVMSynaptraService.h"
#include "startup/QVApplicationMain.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool g_afterEngine = false;
int g_delayMs = 0;

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

void watch() {
    auto *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        if (!(g_afterEngine ? engineBusy() : windowShown()))
            return;
        poll->stop();
        QTimer::singleShot(g_delayMs, Qt::PreciseTimer, [] {
            std::fprintf(stderr, "quitting\n");
            std::fflush(stderr);
            QCoreApplication::quit();
        });
    });
    poll->start(1);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quit_probe engine|shown <ms>\n");
        return 2;
    }
    g_afterEngine = std::strcmp(argv[1], "engine") == 0;
    g_delayMs = std::atoi(argv[2]);
    qAddPreRoutine(watch);
    QVApplicationMain::installCrashReporting();
    return QVApplicationMain::exit(QVApplicationMain::run(1, argv));
}
