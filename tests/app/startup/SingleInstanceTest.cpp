#include "startup/QVSingleInstance.h"

#include <QDBusConnection>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

// Two launches in one test: each gets its own bus connection, as two processes would.
QDBusConnection newConnection(const QString &name) {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "needs a session bus: run through scripts/test (dbus-run-session)";
        // A name of the test's own, so parallel suites and a running program never meet it.
        service =
            QStringLiteral("com.tessaphyre.translator.test.i") + QUuid::createUuid().toString(QUuid::Id128);
    }
    void TearDown() override {
        for (const QString &name : std::as_const(connections))
            QDBusConnection::disconnectFromBus(name);
    }
    QDBusConnection connection(const QString &name) {
        connections << name;
        return newConnection(name);
    }

    QString service;
    QStringList connections;
};

} // namespace

TEST_F(SingleInstanceTest, ASecondLaunchRaisesTheFirstInsteadOfRunning) {
    int raised = 0;
    QVSingleInstance first(connection("first"), service);
    ASSERT_EQ(first.claim([&raised] { ++raised; }), QVSingleInstance::Primary);

    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE(launch);
        int secondRaised = 0;
        QVSingleInstance second(connection(QStringLiteral("second%1").arg(launch)), service);
        EXPECT_EQ(second.claim([&secondRaised] { ++secondRaised; }), QVSingleInstance::ActivatedOther);
        EXPECT_EQ(raised, launch);
        EXPECT_EQ(secondRaised, 0);
    }
}

TEST_F(SingleInstanceTest, TheNameIsFreeAgainOnceTheFirstHasGone) {
    {
        QVSingleInstance first(connection("gone"), service);
        ASSERT_EQ(first.claim({}), QVSingleInstance::Primary);
    }
    int raised = 0;
    QVSingleInstance next(connection("next"), service);
    EXPECT_EQ(next.claim([&raised] { ++raised; }), QVSingleInstance::Primary);
    EXPECT_EQ(raised, 0);
}

TEST_F(SingleInstanceTest, AnOwnerThatDoesNotServeRaiseLetsTheLaunchRunAlone) {
    // Another program holding the name without our object must not stop the launch.
    QDBusConnection squatter = connection("squatter");
    ASSERT_TRUE(squatter.registerService(service));
    QVSingleInstance launch(connection("launch"), service);
    EXPECT_EQ(launch.claim({}), QVSingleInstance::NoBus);
}

TEST(SingleInstanceWithoutBus, ALaunchWithoutASessionBusRunsAlone) {
    const QDBusConnection dead =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/qv-test-bus"), "dead");
    ASSERT_FALSE(dead.isConnected());
    QVSingleInstance instance(dead, QStringLiteral("com.tessaphyre.translator.test.dead"));
    EXPECT_EQ(instance.claim({}), QVSingleInstance::NoBus);
    QDBusConnection::disconnectFromBus("dead");
}
