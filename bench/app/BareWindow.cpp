// The yardstick for start-up: a Qt program that links Qt Widgets only and shows an
// empty main window, printing the markers the benchmark waits for: once shown, and once
// its first frame was drawn (as the program logs it).
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

namespace {

class FirstFrame : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, [] { std::fprintf(stderr, "[launch] first frame\n"); });
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    FirstFrame firstFrame;
    window.installEventFilter(&firstFrame);
    window.resize(800, 600);
    window.show();
    std::fprintf(stderr, "MAC OS UUID: baseline\n");
    return app.exec();
}
