#include "ui/window/QVMFirstFrame.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <utility>
#include <vector>

namespace QVMFirstFrame {
namespace {

bool g_expected = false;
std::vector<std::function<void()>> g_waiting;
QPointer<QTimer> g_limit;

} // namespace

void expect(int timeLimitMs) {
    g_expected = true;
    if (!g_limit) {
        g_limit = new QTimer(QCoreApplication::instance());
        g_limit->setSingleShot(true);
        QObject::connect(g_limit, &QTimer::timeout, [] { drawn(); });
    }
    g_limit->start(timeLimitMs);
}

void drawn() {
    g_expected = false;
    if (g_limit)
        g_limit->stop();
    // Taken first: work handed over while these run runs at once.
    std::vector<std::function<void()>> waiting = std::exchange(g_waiting, {});
    for (const std::function<void()> &work : waiting)
        work();
}

void whenDrawn(std::function<void()> work) {
    if (!work)
        return;
    if (g_expected)
        g_waiting.push_back(std::move(work));
    else
        work();
}

} // namespace QVMFirstFrame
