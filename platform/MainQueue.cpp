#include "MainQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace platform {

void dispatchAsyncMain(std::function<void()> block) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || !block)
        return;
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

void dispatchAfterMain(int delayMs, std::function<void()> block) {
    if (delayMs <= 0) {
        dispatchAsyncMain(std::move(block));
        return;
    }
    // The timer must be started from the main thread to fire there.
    dispatchAsyncMain([delayMs, block = std::move(block)]() mutable {
        QTimer::singleShot(delayMs, QCoreApplication::instance(), std::move(block));
    });
}

bool isMainThread() {
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace platform
