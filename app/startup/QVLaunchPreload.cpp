#include "startup/QVLaunchPreload.h"

#include "merovantia/KeychainStore.h"
#include "platform/NetworkStatus.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageReader>
#include <QSemaphore>
#include <QThreadPool>

#include <memory>

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
}

void QVLaunchPreload::applicationReady() {
    {
        const std::lock_guard lock(m_mutex);
        m_ready = true;
    }
    m_wake.notify_one();
}

void QVLaunchPreload::run() {
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_ready || m_stopping; });
        if (!m_ready)
            return;
    }
    // In the order the interface thread asks: the offline bridge, the analytics identity, the
    // window's first text.
    platform::NetworkStatus::prepareMonitor();
    merovantia::KeychainStore::shared();
    // Qt's font list (all of fontconfig's fonts): the window's first text only picks from it.
    QFontDatabase::families();
    // Qt asks every image plugin whether it reads a format before it takes its own reader, loading
    // each: here rather than at the window's first picture.
    QBuffer nothing;
    QImageReader(&nothing, "png").canRead();
    startPaintThreads();
}
