// How long the interface thread is held asking whether desktop notifications show, on a bus that
// answers and on one that stopped answering (its daemon stopped), beside the two synchronous calls
// the same question takes through QtDBus itself (the raw library doing the same work).
//
//   ask/0  ask/1        the notifier's question, live and stalled bus: held_ms; goal 16 ms
//   ask_sync/0 ask_sync/1  QtDBus's isServiceRegistered + activatableServiceNames, same buses
#include "services/push/QVDesktopNotifier.h"
#include "support/EventLoop.h"
#include "support/PrivateBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <csignal>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

class Stall {
public:
    Stall(const qvtest::PrivateBus &bus, bool stalled) : m_pid(stalled ? pid_t(bus.processId()) : 0) {
        if (m_pid)
            ::kill(m_pid, SIGSTOP);
    }
    ~Stall() {
        if (m_pid)
            ::kill(m_pid, SIGCONT);
    }

private:
    pid_t m_pid;
};

void ask(benchmark::State &state) {
    qvtest::PrivateBus bus;
    const bool stalled = state.range(0) != 0;
    double longest = 0;
    for (auto _ : state) {
        QVDesktopNotifier notifier(bus.connect(QStringLiteral("app")));
        bool answered = false;
        QElapsedTimer held;
        {
            Stall stall(bus, stalled);
            held.start();
            notifier.canShowNotifications([&](bool) { answered = true; });
            const double ms = double(held.nsecsElapsed()) / 1e6;
            state.SetIterationTime(ms / 1e3);
            longest = std::max(longest, ms);
        }
        qvtest::waitUntil([&] { return answered; }, 30000);
    }
    state.counters["held_ms"] = longest;
    state.counters["goal_ms"] = 16;
}

void ask_sync(benchmark::State &state) {
    qvtest::PrivateBus bus;
    const bool stalled = state.range(0) != 0;
    double longest = 0;
    for (auto _ : state) {
        QDBusConnection connection = bus.connect(QStringLiteral("app"));
        Stall stall(bus, stalled);
        QElapsedTimer held;
        held.start();
        QDBusConnectionInterface *daemon = connection.interface();
        benchmark::DoNotOptimize(daemon->isServiceRegistered(kService).value() ||
                                 daemon->activatableServiceNames().value().contains(kService));
        const double ms = double(held.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1e3);
        longest = std::max(longest, ms);
    }
    state.counters["held_ms"] = longest;
}

} // namespace

BENCHMARK(ask)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ask_sync)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ask_sync)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
