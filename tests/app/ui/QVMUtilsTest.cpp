#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"
#include "ui/QVGeneralWindowController.h"
#include "ui/QVMUtils.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <gtest/gtest.h>

TEST(QVMUtils, NetworkAvailabilityFollowsTheStatus) {
    auto &network = platform::NetworkStatus::shared();
    network.setOverride(platform::NetworkStatus::NotReachable);
    EXPECT_FALSE(QVMUtils::isNetworkAvailable());
    network.setOverride(platform::NetworkStatus::ReachableViaWiFi);
    EXPECT_TRUE(QVMUtils::isNetworkAvailable());
    network.setOverride(platform::NetworkStatus::ReachableViaOther);
    EXPECT_TRUE(QVMUtils::isNetworkAvailable());
    network.setOverride(std::nullopt);
}

TEST(QVMUtils, SharedDefaultsIsTheStandardObjectAndDeviceNameIsNeverEmpty) {
    EXPECT_EQ(&QVMUtils::sharedDefaults(), &platform::UserDefaults::standard());
    EXPECT_FALSE(QVMUtils::getDeviceName().isEmpty());
}

TEST(QVMUtils, VersionIsTheApplicationsOrTheBuildsShortVersion) {
    const QString saved = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QString());
    EXPECT_EQ(QVMUtils::getAppVersionFromBundle(), QStringLiteral(QV_SHORT_VERSION));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5"));
    EXPECT_EQ(QVMUtils::getAppVersionFromBundle(), QStringLiteral("2.5"));
    QCoreApplication::setApplicationVersion(saved);
}

TEST(QVGeneralWindowController, WindowIsTitledWithTheShortVersion) {
    QVGeneralWindowController controller;
    ASSERT_NE(controller.window(), nullptr);
    EXPECT_EQ(controller.window()->windowTitle(),
              QStringLiteral("Quorvalde Translator v ") + QVMUtils::getAppVersionFromBundle());
    EXPECT_TRUE(controller.window()->windowTitle().startsWith(QStringLiteral("Quorvalde Translator v 1.")));
}
