#include "platform/MainQueue.h"
#include "platform/NetworkStatus.h"
#include "platform/NotificationCenter.h"
#include "support/EventLoop.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

using platform::NetworkStatus;

namespace {

// The test script fixes the status for the whole run; these tests set their own.
class NetworkStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = qgetenv(NetworkStatus::kEnvironmentVariable);
        qunsetenv(NetworkStatus::kEnvironmentVariable);
    }
    void TearDown() override {
        if (saved.isEmpty())
            qunsetenv(NetworkStatus::kEnvironmentVariable);
        else
            qputenv(NetworkStatus::kEnvironmentVariable, saved);
        NetworkStatus::shared().setOverride(std::nullopt);
    }
    QByteArray saved;
};

} // namespace

TEST_F(NetworkStatusTest, EnvironmentFixesTheStatus) {
    qputenv(NetworkStatus::kEnvironmentVariable, "offline");
    EXPECT_EQ(NetworkStatus::shared().currentStatus(), NetworkStatus::NotReachable);
    EXPECT_FALSE(NetworkStatus::shared().isReachable());
    qputenv(NetworkStatus::kEnvironmentVariable, "online");
    EXPECT_EQ(NetworkStatus::shared().currentStatus(), NetworkStatus::ReachableViaOther);
    EXPECT_TRUE(NetworkStatus::shared().isReachable());
}

TEST_F(NetworkStatusTest, OverrideWinsAndAnnouncesEachChangeOnce) {
    NetworkStatus &status = NetworkStatus::shared();
    status.setOverride(NetworkStatus::ReachableViaOther);
    QSignalSpy spy(&status, &NetworkStatus::changed);
    QList<int> posted;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(NetworkStatus::kReachabilityChangedNotification), [&](const QVariantMap &info) {
            posted << info.value(QString::fromLatin1(NetworkStatus::kStatusKey)).toInt();
        });
    qputenv(NetworkStatus::kEnvironmentVariable, "online");
    status.setOverride(NetworkStatus::NotReachable);
    status.setOverride(NetworkStatus::NotReachable);
    EXPECT_FALSE(status.isReachable());
    status.setOverride(NetworkStatus::ReachableViaWiFi);
    platform::NotificationCenter::defaultCenter().removeObserver(token);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 0);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 1);
    EXPECT_EQ(posted, (QList<int>{0, 1}));
}

TEST_F(NetworkStatusTest, MonitorChangeIsAnnouncedOnTheMainThread) {
    NetworkStatus &status = NetworkStatus::shared();
    GNetworkMonitor *monitor = g_network_monitor_get_default();
    ASSERT_NE(monitor, nullptr);
    const gboolean real = g_network_monitor_get_network_available(monitor);
    g_signal_emit_by_name(monitor, "network-changed", real);
    qvtest::spin(20);

    QSignalSpy spy(&status, &NetworkStatus::changed);
    bool onMain = false;
    QObject::connect(&status, &NetworkStatus::changed, &status, [&] { onMain = platform::isMainThread(); });
    g_signal_emit_by_name(monitor, "network-changed", !real);
    ASSERT_TRUE(qvtest::waitUntil([&] { return spy.count() == 1; }));
    EXPECT_EQ(spy.at(0).at(0).toInt(), real ? 0 : 2);
    EXPECT_EQ(status.isReachable(), !real);
    EXPECT_TRUE(onMain);
    g_signal_emit_by_name(monitor, "network-changed", real);
    ASSERT_TRUE(qvtest::waitUntil([&] { return spy.count() == 2; }));
}
