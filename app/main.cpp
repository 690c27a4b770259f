#include "startup/QVApplicationMain.h"

int main(int argc, char *argv[]) {
    // Ready before anything else can fail.
    QVApplicationMain::installCrashReporting();
    return QVApplicationMain::exit(QVApplicationMain::run(argc, argv));
}
