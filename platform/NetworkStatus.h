#pragma once

#include <QObject>

#include <atomic>
#include <optional>

namespace platform {

// Whether the internet can be reached, from GIO's network monitor (the
// desktop's view of routes and connectivity). Linux cannot cheaply tell Wi-Fi
// from a wire, so a reachable network reports ReachableViaOther.
// QV_NETWORK_STATUS=online|offline fixes the answer (tests, running without a
// backend); setOverride does the same from code and wins over both.
// changed() and the notification "kReachabilityChangedNotification" (user info
// "status") come on the main thread when the answer changes.
class NetworkStatus : public QObject {
    Q_OBJECT
public:
    enum Status { NotReachable = 0, ReachableViaWiFi = 1, ReachableViaOther = 2 };
    static constexpr const char *kReachabilityChangedNotification = "kReachabilityChangedNotification";
    static constexpr const char *kStatusKey = "status";
    static constexpr const char *kEnvironmentVariable = "QV_NETWORK_STATUS";

    static NetworkStatus &shared();
    // Makes the system's network monitor, which shared() then finds made. Any thread; for a
    // start that has the interface thread busy with other things meanwhile.
    static void prepareMonitor();

    Status currentStatus() const;
    // Status 1 or 2.
    bool isReachable() const;
    // The answer is fixed by setOverride or QV_NETWORK_STATUS, not read from the system.
    bool isForced() const;

    void setOverride(std::optional<Status> status);

signals:
    void changed(int status);

private:
    NetworkStatus();
    ~NetworkStatus() override;

    static void onNetworkChanged(void *monitor, int available, void *self);
    void setSystemAvailable(bool available);
    void announceIfChanged();

    void *m_monitor = nullptr;
    unsigned long m_handler = 0;
    // Read from any thread; -1 means no override.
    std::atomic<bool> m_systemAvailable{false};
    std::atomic<int> m_override{-1};
    Status m_announced = NotReachable;
};

} // namespace platform
