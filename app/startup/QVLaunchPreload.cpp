#include "startup/QVLaunchPreload.h"

#include "merovantia/KeychainStore.h"
#include "platform/NetworkStatus.h"

#include <QBuffer>
#include <QImageReader>

#include <fontconfig/fontconfig.h>

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
    FcInit();
    platform::NetworkStatus::prepareMonitor();
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_ready || m_stopping; });
        if (!m_ready)
            return;
    }
    // A built-in format read from an empty buffer: the plugins' list is read, none is loaded.
    QBuffer nothing;
    QImageReader(&nothing, "png").canRead();
    merovantia::KeychainStore::shared();
}
