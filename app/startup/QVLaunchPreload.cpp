#include "startup/QVLaunchPreload.h"

#include "core/DevLog.h"
#include "merovantia/KeychainStore.h"
#include "platform/NetworkStatus.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageReader>
#include <QSemaphore>
#include <QThreadPool>

#include <functional>
#include <memory>

#include <pthread.h>

namespace {

// Qt's raster engine splits large fills across the global thread pool, whose threads the first
// such fill makes: the window's first frame. Made here, that frame only wakes them. Each task
// waits until all have started, so each gets a thread of its own; but not for long, as a thread
// busy with other work may never free itself for this one: the tasks that start late pass at once.
void startPaintThreads() {
    QThreadPool *pool = QThreadPool::globalInstance();
    const int count = pool->maxThreadCount();
    struct Gate {
        QSemaphore started, open;
    };
    const auto gate = std::make_shared<Gate>();
    for (int i = 0; i < count; ++i)
        pool->start([gate] {
            gate->started.release();
            gate->open.acquire();
        });
    gate->started.tryAcquire(count, QVLaunchPreload::kPaintThreadsWaitMs);
    gate->open.release(count);
}

} // namespace

QVLaunchPreload::QVLaunchPreload() : m_thread([this] { run(); }) {}

QVLaunchPreload::~QVLaunchPreload() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    // Whether a quit cut the work short, and that nothing of it outlives this point.
    DevLog(QStringLiteral("[launch] preload thread joined: %ld of %ld steps made"), long(m_stepsMade),
           long(kSteps));
}

void QVLaunchPreload::applicationReady() {
    {
        const std::lock_guard lock(m_mutex);
        m_ready = true;
    }
    m_wake.notify_one();
}

bool QVLaunchPreload::stopping() {
    const std::lock_guard lock(m_mutex);
    return m_stopping;
}

void QVLaunchPreload::run() {
    pthread_setname_np(pthread_self(), kThreadName);
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_ready || m_stopping; });
        if (!m_ready || m_stopping)
            return;
    }
    // In the order the interface thread asks: the offline bridge, the analytics identity, the
    // window's first text. A quit meanwhile leaves the rest undone rather than wait for it.
    const std::function<void()> steps[kSteps] = {
        [] { platform::NetworkStatus::prepareMonitor(); },
        [] { merovantia::KeychainStore::shared(); },
        // Qt's font list (all of fontconfig's fonts): the window's first text only picks from it.
        [] { QFontDatabase::families(); },
        // Qt asks every image plugin whether it reads a format before it takes its own reader,
        // loading each: here rather than at the window's first picture.
        [] {
            QBuffer nothing;
            QImageReader(&nothing, "png").canRead();
        },
        startPaintThreads,
    };
    for (const std::function<void()> &step : steps) {
        if (stopping())
            return;
        step();
        ++m_stepsMade;
    }
}
