// The yardstick for start-up: a Qt program that links Qt Widgets only and shows an
// empty main window, printing the marker the benchmark waits for.
#include <QApplication>
#include <QMainWindow>

#include <cstdio>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(800, 600);
    window.show();
    std::fprintf(stderr, "MAC OS UUID: baseline\n");
    return app.exec();
}
