// Whether the support form keeps answering while a send waits on a mail server
// that holds the connection (a loopback fake that never answers), beside the
// same form with nothing running:
//
//   keystroke_while_send_held  keys typed into the message, each frame drawn, for
//                              10 s of a held send; goal 16 ms for the slowest (max_ms)
//   keystroke_idle             the same for 10 s with no send (the yardstick)
// Each runs once for its whole span; the counters carry the figures.
#include "support/FakeSmtpServer.h"

#include "core/QVStoreConfiguration.h"
#include "panes/support/QVMSupportRequestController.h"
#include "services/languages/QVLanguageService.h"
#include "services/support/QVSupportMailConfiguration.h"
#include "startup/QVStoreMigration.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMUtils.h"

#include "platform/AppPaths.h"
#include "platform/store/Store.h"

#include <merovantia/FileKeychainStore.h>
#include <merovantia/KeychainStore.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr double kFrameGoalMs = 16;
constexpr qint64 kSpanMs = 10000; // the hold the goal is stated for

std::unique_ptr<QTemporaryDir> g_home;

bool prepareHome() {
    g_home = std::make_unique<QTemporaryDir>();
    platform::AppPaths::setRoot(g_home->path());
    // A file keychain: the information block reads the installation id from it.
    merovantia::KeychainStore::setShared(
        std::make_shared<merovantia::FileKeychainStore>(merovantia::KeychainStore::defaultFilePath()));
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return false;
    return !QVLanguageService::initializeDefaultLanguages();
}

void configure(const QString &url) {
    qputenv(QVSupportMailConfiguration::kUrlVariable, url.toUtf8());
    qputenv(QVSupportMailConfiguration::kUserVariable, "robot@support.example.org");
    qputenv(QVSupportMailConfiguration::kPasswordVariable, "pw");
    qputenv(QVSupportMailConfiguration::kMailboxVariable, "help@support.example.org");
}

// Any alert (a failed send) would stop the run: counted instead.
class CountingAlerts : public QVMAlertPresenter {
public:
    int runModal(const Request &) override {
        ++shown;
        return kFirstButtonReturn;
    }
    int shown = 0;
};

// Short lines, as a user types, so the cost stays that of one keystroke.
void typeAndDraw(QVMSupportRequestController &form, int count) {
    const bool newLine = count % 60 == 59;
    const int key = newLine ? Qt::Key_Return : Qt::Key_A;
    const QString text = newLine ? QStringLiteral("\r") : QStringLiteral("a");
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(form.messageView(), &press);
    QCoreApplication::sendEvent(form.messageView(), &release);
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(form.view()->grab());
}

void measure(benchmark::State &state, bool holdASend) {
    auto alerts = std::make_shared<CountingAlerts>();
    QVMUtils::setAlertPresenter(alerts);
    qvtest::FakeSmtpServer smtp;
    smtp.setHoldConnections(true);
    configure(smtp.url());
    QVMSupportRequestController form;
    form.view()->show();
    form.emailField()->setText(QStringLiteral("ann@example.com"));
    form.messageView()->setPlainText(QStringLiteral("Hello"));
    QCoreApplication::processEvents();
    if (holdASend)
        form.sendButton()->click();
    double worstMs = 0, totalMs = 0;
    int frames = 0;
    QElapsedTimer span, clock;
    for (auto _ : state) {
        span.start();
        while (span.elapsed() < kSpanMs) {
            if (frames % 1200 == 1199)
                form.messageView()->setPlainText(QStringLiteral("Hello"));
            clock.start();
            typeAndDraw(form, frames);
            const double ms = clock.nsecsElapsed() / 1e6;
            worstMs = std::max(worstMs, ms);
            totalMs += ms;
            ++frames;
        }
    }
    state.counters["frames"] = frames;
    state.counters["mean_ms"] = frames ? totalMs / frames : 0;
    state.counters["max_ms"] = worstMs;
    state.counters["alerts"] = alerts->shown;
    state.counters["goal_ms"] = kFrameGoalMs;
    state.counters["connections"] = smtp.connectionCount();
    state.counters["still_sending"] = form.isSending() ? 1 : 0;
    form.view()->close(); // stops the send
    QVMUtils::setAlertPresenter(nullptr);
}

void keystroke_while_send_held(benchmark::State &state) {
    measure(state, true);
}

void keystroke_idle(benchmark::State &state) {
    measure(state, false);
}

} // namespace

BENCHMARK(keystroke_while_send_held)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(keystroke_idle)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!prepareHome()) {
        std::fprintf(stderr, "could not prepare the store\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    platform::ObjectStore::resetDefaultStore();
    merovantia::KeychainStore::setShared(nullptr);
    platform::AppPaths::setRoot(QString());
    return 0;
}
