#include "support/EventLoop.h"
#include "support/FakeNotifications.h"
#include "support/PrivateBus.h"

#include "services/push/QVDesktopNotifier.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace {

// A bus that stops answering: its daemon is stopped for the scope.
class StalledBus {
public:
    explicit StalledBus(const qvtest::PrivateBus &bus) : m_pid(pid_t(bus.processId())) {
        ::kill(m_pid, SIGSTOP);
    }
    ~StalledBus() { ::kill(m_pid, SIGCONT); }
    StalledBus(const StalledBus &) = delete;
    StalledBus &operator=(const StalledBus &) = delete;

private:
    pid_t m_pid;
};

} // namespace

// The call never waits for the bus: a bus stopped in the middle leaves the caller free, and the
// answer comes once the bus speaks again; without a bus it is known at once.
TEST(QVDesktopNotifier, TheBusIsAskedWithoutWaitingAndTheAnswerComesLater) {
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    struct Case {
        const char *name;
        bool connected;
        bool service;
        bool stalled;
        bool expected;
    } cases[] = {
        {"no bus", false, false, false, false},
        {"a bus that stops answering", true, false, true, false},
        {"a bus without the service", true, false, false, false},
        {"a bus with the service", true, true, false, true},
    };
    qvtest::FakeNotifications notifications;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.service) {
            ASSERT_TRUE(notifications.start(bus.connect(QStringLiteral("desktop"))));
        }
        QVDesktopNotifier notifier(c.connected ? bus.connect(QStringLiteral("app"))
                                               : QDBusConnection(QStringLiteral("none")));
        std::optional<bool> answer;
        {
            std::optional<StalledBus> stalled;
            if (c.stalled)
                stalled.emplace(bus);
            notifier.canShowNotifications([&](bool shown) { answer = shown; });
            EXPECT_EQ(answer.has_value(), !c.connected) << "answered before the bus spoke";
            if (c.stalled) {
                qvtest::spin(50);
                EXPECT_FALSE(answer.has_value());
            }
        }
        ASSERT_TRUE(qvtest::waitUntil([&] { return answer.has_value(); }));
        EXPECT_EQ(*answer, c.expected);
    }
}

// Asked once: every later question is answered from what was kept, and the kept answer follows
// the service as it starts and stops.
TEST(QVDesktopNotifier, TheAnswerIsKeptAndFollowsTheServiceStartingAndStopping) {
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QVDesktopNotifier notifier(bus.connect(QStringLiteral("app")));
    QList<bool> answers;
    notifier.canShowNotifications([&](bool shown) { answers << shown; });
    notifier.canShowNotifications([&](bool shown) { answers << shown; });
    EXPECT_TRUE(answers.isEmpty());
    ASSERT_TRUE(qvtest::waitUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, (QList<bool>{false, false}));

    const struct {
        const char *name;
        bool running;
    } steps[] = {{"the service starts", true}, {"the service stops", false}, {"it starts again", true}};
    qvtest::FakeNotifications notifications;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        if (step.running) {
            ASSERT_TRUE(notifications.start(bus.connect(QStringLiteral("desktop"))));
        } else {
            bus.disconnect(QStringLiteral("desktop"));
        }
        ASSERT_TRUE(qvtest::waitUntil([&] { return notifier.knownAvailability() == step.running; }));
        // Known now: answered during the call, without asking the bus.
        std::optional<bool> answer;
        {
            StalledBus stalled(bus);
            notifier.canShowNotifications([&](bool shown) { answer = shown; });
        }
        EXPECT_EQ(answer, std::optional<bool>(step.running));
    }
    notifier.showAlert(QStringLiteral("Title"), QStringLiteral("Body"));
    ASSERT_TRUE(qvtest::waitUntil([&] { return !notifications.shown.isEmpty(); }));
    EXPECT_EQ(notifications.shown, QStringList{QStringLiteral("Title|Body")});
}
