// A copy with no backend configured (every host at its reserved default) starts
// without sending a single request, and tells of the missing backend in plain
// lines, never as an error record with a call stack.
#include "app/core/RecordingCrashReporter.h"

#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "platform/BackendNetworkAccess.h"
#include "platform/NetworkStatus.h"
#include "platform/store/Store.h"
#include "services/push/QVUnifiedPushTokenSource.h"
#include "startup/AppDelegate.h"
#include "startup/QVSystemLaunchDependencies.h"
#include "support/EventLoop.h"

#include <QDBusConnection>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

TEST(NoBackendLaunch, NothingLeavesTheMachineAndNothingIsReportedAsAFault) {
    const char *hosts[][2] = {{"QV_API_HOST", "https://api.quorvalde.example"},
                              {"QV_ACCOUNT_HOST", "https://account.quorvalde.example"},
                              {"QV_CLIENT_HOST", "https://client.quorvalde.example"},
                              {"QV_PUSH_HOST", "https://push.quorvalde.example"},
                              {"QV_ANALYTICS_HOST", "https://analytics.quorvalde.example"},
                              {"QV_MAKER_DOMAIN", "https://quorvalde.example"}};
    for (const auto &host : hosts)
        platform::BackendConfig::overrideHost(host[0], QUrl(QString::fromLatin1(host[1])));
    const QByteArray forced = qgetenv(platform::NetworkStatus::kEnvironmentVariable);
    qunsetenv(platform::NetworkStatus::kEnvironmentVariable);
    platform::NetworkStatus::shared().setOverride(std::nullopt);
    QTemporaryDir root;
    platform::AppPaths::setRoot(root.path());
    auto reporter = std::make_shared<RecordingCrashReporter>();
    platform::CrashReporter::setShared(reporter);

    const quint64 sent = platform::BackendNetworkAccess::sentCount();
    const quint64 refused = platform::BackendNetworkAccess::refusedCount();
    {
        AppDelegate delegate(std::make_unique<QVSystemLaunchDependencies>(), QStringLiteral("user"));
        ASSERT_TRUE(delegate.applicationDidFinishLaunching());
        delegate.applicationDidBecomeActive();
        // Long enough for every request the launch starts to have been sent and failed.
        qvtest::spin(3000);
        EXPECT_EQ(platform::BackendNetworkAccess::sentCount(), sent) << "a request left the machine";
        // The launch's requests did go through the one network layer that refuses them.
        EXPECT_GT(platform::BackendNetworkAccess::refusedCount(), refused);
        QMutexLocker lock(&reporter->mutex);
        // No push distributor on the bus: the launch says so once and goes on.
        if (QDBusConnection::sessionBus().isConnected()) {
            EXPECT_EQ(reporter->lines.filter(QString::fromLatin1(QVUnifiedPushTokenSource::kNoDistributorLog))
                          .size(),
                      1);
        }
        for (const RecordingCrashReporter::Record &record : std::as_const(reporter->records))
            ADD_FAILURE() << "reported as a fault: " << record.domain.toStdString() << " " << record.code
                          << " " << record.userInfo.value(QStringLiteral("message")).toString().toStdString();
    }

    platform::CrashReporter::setShared(nullptr);
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(QString());
    for (const auto &host : hosts)
        platform::BackendConfig::overrideHost(host[0], QUrl());
    if (!forced.isEmpty())
        qputenv(platform::NetworkStatus::kEnvironmentVariable, forced);
}
