// How long a page of the onboarding takes to slide in, beside a bare stacked
// widget turning the same pages in the same run (a busy machine slows both).
//
//   intro_page_turn   Next until the slide has ended; goal 250 ms
//   baseline_turn     QStackedWidget::setCurrentIndex of five plain pages, no slide
//   intro_open        a new onboarding: five pages with their pictures (decoded once per run)
#include "core/QVStoreConfiguration.h"
#include "panes/intro/QVMIntroPanes.h"
#include "panes/intro/QVMIntroVC.h"
#include "platform/AppPaths.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPropertyAnimation>
#include <QStackedWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QVMIntroVC *openIntro() {
    auto *intro = QVMInterfaceFactory::shared().instantiateController<QVMIntroVC>(
        QStringLiteral("QVMIntro"), QStringLiteral("QVMIntroVC"));
    intro->view()->show();
    QCoreApplication::processEvents();
    return intro;
}

void intro_page_turn(benchmark::State &state) {
    QVMIntroVC *intro = openIntro();
    for (auto _ : state) {
        if (intro->selectedIndex() == 4) {
            state.PauseTiming();
            delete intro;
            intro = openIntro();
            state.ResumeTiming();
        }
        QElapsedTimer timer;
        timer.start();
        intro->onNext();
        while (intro->findChild<QPropertyAnimation *>() && timer.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    }
    delete intro;
}

void baseline_turn(benchmark::State &state) {
    QStackedWidget stack;
    for (int i = 0; i < 5; ++i)
        stack.addWidget(new QLabel(QStringLiteral("Page %1").arg(i + 1)));
    stack.resize(640, 480);
    stack.show();
    int page = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        stack.setCurrentIndex(page = (page + 1) % 5);
        QCoreApplication::processEvents();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    }
}

void intro_open(benchmark::State &state) {
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QVMIntroVC *intro = openIntro();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        delete intro;
    }
}

BENCHMARK(intro_page_turn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(baseline_turn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(intro_open)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir home;
    platform::AppPaths::setRoot(home.path());
    // The controllers read the settings record when their views load.
    QVStoreConfiguration::configureDefaultStore();
    installIntroPanes(QVMInterfaceFactory::shared());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
