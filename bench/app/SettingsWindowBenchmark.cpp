// What opening the settings window and animating its switches cost, beside
// the raw toolkit doing the same amount of work in the same run:
//
//   settings_open      setTabToOpen(0) + showWindow() until painted; goal 300 ms
//   plain_form_open    a plain window with the same controls (the limit's yardstick)
//   switch_frame       one frame of six switches animating at once; goal 16 ms
//   plain_form_frame   one frame of the plain window's controls
#include "core/QVStoreConfiguration.h"
#include "services/languages/QVLanguageService.h"
#include "startup/QVStoreMigration.h"
#include "panes/settings/QVMSettingsWindowController.h"
#include "ui/controls/ITSwitch.h"

#include "platform/AppPaths.h"
#include "platform/store/Store.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QPixmap>
#include <QSlider>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr double kOpenGoalMs = 300;
constexpr double kFrameGoalMs = 16;

std::unique_ptr<QTemporaryDir> g_home;

bool prepareHome() {
    g_home = std::make_unique<QTemporaryDir>();
    platform::AppPaths::setRoot(g_home->path());
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return false;
    return !QVLanguageService::initializeDefaultLanguages();
}

QWidget *plainForm() {
    auto *window = new QWidget;
    auto *form = new QFormLayout(window);
    form->addRow(QStringLiteral("Speech speed"), new QSlider(Qt::Horizontal));
    for (int i = 0; i < 6; ++i)
        form->addRow(QStringLiteral("Switch %1").arg(i), new QCheckBox);
    auto *box = new QComboBox;
    box->addItems({"English", "German", "French", "Spanish", "Italian", "Portuguese"});
    form->addRow(QStringLiteral("Interface language"), box);
    window->resize(640, 520);
    return window;
}

void settings_open(benchmark::State &state) {
    for (auto _ : state) {
        auto *controller = new QVMSettingsWindowController;
        controller->setTabToOpen(0);
        controller->showWindow();
        benchmark::DoNotOptimize(controller->window()->grab());
        state.PauseTiming();
        delete controller;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["goal_ms"] = kOpenGoalMs;
}

void plain_form_open(benchmark::State &state) {
    for (auto _ : state) {
        QWidget *window = plainForm();
        window->show();
        benchmark::DoNotOptimize(window->grab());
        state.PauseTiming();
        delete window;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void switch_frame(benchmark::State &state) {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    QList<ITSwitch *> switches;
    for (int i = 0; i < 6; ++i) {
        switches.append(new ITSwitch);
        layout->addWidget(switches.last());
    }
    window.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        for (ITSwitch *button : switches)
            if (!button->isAnimating())
                button->performPress();
        state.ResumeTiming();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window.grab());
    }
    state.counters["goal_ms"] = kFrameGoalMs;
}

void plain_form_frame(benchmark::State &state) {
    std::unique_ptr<QWidget> window(plainForm());
    window->show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window->grab());
    }
}

} // namespace

BENCHMARK(settings_open)->Unit(benchmark::kMillisecond);
BENCHMARK(plain_form_open)->Unit(benchmark::kMillisecond);
BENCHMARK(switch_frame)->Unit(benchmark::kMillisecond);
BENCHMARK(plain_form_frame)->Unit(benchmark::kMillisecond);

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
    platform::AppPaths::setRoot(QString());
    return 0;
}
