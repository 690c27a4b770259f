#include "NetworkStatus.h"

#include "MainQueue.h"
#include "NotificationCenter.h"

#include <QCoreApplication>

// GIO names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace platform {

NetworkStatus &NetworkStatus::shared() {
    // Lives for the whole run: the monitor's signal may fire at any time.
    static NetworkStatus *instance = new NetworkStatus();
    return *instance;
}

void NetworkStatus::prepareMonitor() {
    // GIO makes one per process, under its own lock: whoever asks first makes it.
    g_network_monitor_get_default();
}

NetworkStatus::NetworkStatus() {
    if (QCoreApplication *app = QCoreApplication::instance())
        moveToThread(app->thread());
    GNetworkMonitor *monitor = g_network_monitor_get_default();
    if (monitor) {
        m_monitor = g_object_ref(monitor);
        m_systemAvailable = g_network_monitor_get_network_available(monitor);
        // The monitor emits from the default main context, which Qt's main loop runs.
        m_handler =
            g_signal_connect(monitor, "network-changed", G_CALLBACK(&NetworkStatus::onNetworkChanged), this);
    }
    m_announced = currentStatus();
}

NetworkStatus::~NetworkStatus() {
    if (m_monitor) {
        g_signal_handler_disconnect(m_monitor, m_handler);
        g_object_unref(m_monitor);
    }
}

void NetworkStatus::onNetworkChanged(void *, int available, void *self) {
    auto *status = static_cast<NetworkStatus *>(self);
    const bool value = available != 0;
    if (isMainThread()) {
        status->setSystemAvailable(value);
        return;
    }
    dispatchAsyncMain([status, value] { status->setSystemAvailable(value); });
}

void NetworkStatus::setSystemAvailable(bool available) {
    m_systemAvailable = available;
    announceIfChanged();
}

NetworkStatus::Status NetworkStatus::currentStatus() const {
    const int forcedByCode = m_override.load();
    if (forcedByCode >= 0)
        return static_cast<Status>(forcedByCode);
    const QByteArray forced = qgetenv(kEnvironmentVariable).trimmed().toLower();
    if (forced == "online")
        return ReachableViaOther;
    if (forced == "offline")
        return NotReachable;
    return m_systemAvailable ? ReachableViaOther : NotReachable;
}

bool NetworkStatus::isReachable() const {
    const Status status = currentStatus();
    return status == ReachableViaWiFi || status == ReachableViaOther;
}

bool NetworkStatus::isForced() const {
    if (m_override.load() >= 0)
        return true;
    const QByteArray forced = qgetenv(kEnvironmentVariable).trimmed().toLower();
    return forced == "online" || forced == "offline";
}

void NetworkStatus::setOverride(std::optional<Status> status) {
    m_override = status ? static_cast<int>(*status) : -1;
    if (isMainThread())
        announceIfChanged();
    else
        dispatchAsyncMain([this] { announceIfChanged(); });
}

void NetworkStatus::announceIfChanged() {
    const Status now = currentStatus();
    if (now == m_announced)
        return;
    m_announced = now;
    emit changed(now);
    NotificationCenter::defaultCenter().post(QString::fromLatin1(kReachabilityChangedNotification),
                                             {{QString::fromLatin1(kStatusKey), static_cast<int>(now)}});
}

} // namespace platform
