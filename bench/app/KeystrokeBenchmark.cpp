// What one typed key costs in a text of 1 MB, in the main window's source panel and in the
// quick translator's, beside a plain QTextEdit of the same size and font in the same run (a
// busy machine slows all alike). A keystroke is the key's press and release and every event
// they cause, painting included. Under Xvfb with the xcb platform for real windows;
// offscreen otherwise.
//
//   keystroke_main/<text>     the main view's source panel (wrapping watch, colouring, buttons)
//   keystroke_popover/<text>  the quick translator's source panel
//   keystroke_plain/<text>    a plain QTextEdit
//
// Texts of 1 MB: paragraphs just over the wrapping watch's 1,000 characters (every one of
// them a candidate for its look), and prose in paragraphs of 200 characters. Goal 16 ms
// (one frame), printed as the median.
#include "BenchHome.h"

#include "panes/popover/QVMGenaralPopoverViewController.h"
#include "panes/popover/QVMStatusItem.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/TextViewWithPlaceHolder.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kTextBytes = 1024 * 1024;

struct Text {
    const char *name;
    int paragraph; // characters per paragraph, its line break included
};
const Text kTexts[] = {
    {"paragraphs_of_1100", 1100},
    {"paragraphs_of_200", 200},
};

QString megabyteOf(const Text &shape) {
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    const QString paragraph =
        sentence.repeated(shape.paragraph / int(sentence.size()) + 1).left(shape.paragraph - 1) +
        QLatin1Char('\n');
    return paragraph.repeated(kTextBytes / shape.paragraph);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// One key in the middle of the text, and everything it causes until the loop is idle.
double keystrokeMs(QTextEdit *view) {
    QElapsedTimer timer;
    timer.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(view, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(view, &release);
    QCoreApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

void measure(benchmark::State &state, const char *road, QTextEdit *view,
             const std::function<void()> &settle) {
    const Text &shape = kTexts[state.range(0)];
    state.SetLabel(shape.name);
    view->setPlainText(megabyteOf(shape));
    view->setFocus();
    QTextCursor middle(view->document());
    middle.setPosition(view->document()->characterCount() / 2);
    view->setTextCursor(middle);
    settle();
    std::vector<double> times;
    for (auto _ : state) {
        const double ms = keystrokeMs(view);
        state.SetIterationTime(ms / 1e3);
        times.push_back(ms);
        settle();
    }
    state.counters["median_ms"] = median(times);
    state.counters["goal_ms"] = 16;
    std::printf("%s/%s: %.1f ms median per keystroke in 1 MB (goal 16 ms)\n", road, shape.name,
                median(times));
}

void settleEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void keystroke_main(benchmark::State &state) {
    auto window = std::make_unique<QVGeneralWindowController>();
    window->showWindow();
    settleEvents();
    measure(state, "keystroke_main", window->generalViewController()->fromTranslateTextView(), settleEvents);
}

void keystroke_popover(benchmark::State &state) {
    auto *popover = new QVMGenaralPopoverViewController;
    QVMStatusItem::sharedInstance().presentStatusItemWithImage(QImage(), popover);
    QVMStatusItem::sharedInstance().showStatusItemWindow();
    settleEvents();
    // No request: only the panel's own work is measured.
    measure(state, "keystroke_popover", popover->originalTextView(), [popover] {
        popover->typingTimer()->stop();
        settleEvents();
    });
    QVMStatusItem::sharedInstance().dismissStatusItemWindow();
}

void keystroke_plain(benchmark::State &state) {
    QTextEdit view;
    view.setFont(PaddingTextView().font());
    view.resize(800, 500);
    view.show();
    settleEvents();
    measure(state, "keystroke_plain", &view, settleEvents);
}

void eachText(benchmark::internal::Benchmark *benchmark) {
    for (size_t i = 0; i < std::size(kTexts); ++i)
        benchmark->Arg(int(i));
}

BENCHMARK(keystroke_main)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20)->Apply(eachText);
BENCHMARK(keystroke_popover)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20)->Apply(eachText);
BENCHMARK(keystroke_plain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20)->Apply(eachText);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::Home home;
    if (!home.prepare(false))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
