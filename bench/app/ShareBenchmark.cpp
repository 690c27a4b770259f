// Share -> Send by e-mail where no mail program takes the address: from the click until the
// alert that offers the translation to copy has painted, for translations of growing length,
// beside a bare message box holding the same alert's text in the same run.
//
//   email_alert/N       the main window's share with an N-character translation; goal 200 ms
//   email_alert_bare/N  Qt's message box with the text the alert shows, until its first paint
#include "BenchHome.h"

#include "panes/general/QVMGeneralPanels.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>

#include <benchmark/benchmark.h>

#include <map>

namespace {

std::map<int, double> g_bare;

QString translation(int characters) {
    QString text;
    text.reserve(characters + 80);
    const QString sentence = QStringLiteral("Die Übersetzung eines langen Textes geht weiter. ");
    int line = 0;
    while (text.size() < characters) {
        text += sentence;
        if (++line % 8 == 0)
            text += QLatin1Char('\n');
    }
    text.truncate(characters);
    return text;
}

// Notes when a message box first paints, then closes it; what the box showed is kept.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            auto *box = qobject_cast<QMessageBox *>(static_cast<QWidget *>(watched)->window());
            if (box && !painted) {
                painted = true;
                ms = double(clock.nsecsElapsed()) / 1e6;
                message = box->informativeText();
                QPointer<QMessageBox> held(box);
                QMetaObject::invokeMethod(
                    box,
                    [held] {
                        if (held)
                            held->reject();
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }
    void start() {
        painted = false;
        clock.start();
    }
    QElapsedTimer clock;
    bool painted = false;
    double ms = 0;
    QString message;
};

void email_alert(benchmark::State &state) {
    bench::Home home;
    if (!home.prepare(false)) {
        state.SkipWithError("the home could not be prepared");
        return;
    }
    installGeneralPanels(QVMInterfaceHooks::shared());
    QVMUtils::setAlertPresenter(std::make_shared<QVMMessageBoxPresenter>());
    QVMGeneralPanels::setUrlOpener([](const QUrl &) { return false; });
    QVGeneralWindowController window;
    window.showWindow();
    QVMGeneralViewController *general = window.generalViewController();
    general->setTextAndTranslation(QStringLiteral("Hello"), translation(int(state.range(0))));
    QCoreApplication::processEvents();
    FirstPaint probe;
    qApp->installEventFilter(&probe);
    double total = 0;
    for (auto _ : state) {
        probe.start();
        QVMGeneralPanels::forView(general)->sendByEmail();
        if (!probe.painted) {
            state.SkipWithError("no alert was shown");
            break;
        }
        total += probe.ms;
    }
    qApp->removeEventFilter(&probe);
    QVMGeneralPanels::setUrlOpener({});
    const double ms = total / double(state.iterations());
    state.counters["ms"] = ms;
    state.counters["goal_ms"] = 200;
    state.counters["alert_chars"] = double(probe.message.size());
    if (const auto bare = g_bare.find(int(state.range(0))); bare != g_bare.end() && bare->second > 0)
        state.counters["x_bare"] = ms / bare->second;
}

void email_alert_bare(benchmark::State &state) {
    // The text the alert shows for this length: a short preview, or (before) all of it.
    bench::Home home;
    if (!home.prepare(false)) {
        state.SkipWithError("the home could not be prepared");
        return;
    }
    installGeneralPanels(QVMInterfaceHooks::shared());
    QString shown;
    {
        struct Recorder : QVMAlertPresenter {
            int runModal(const Request &request) override {
                text = request.message;
                return 0;
            }
            QString text;
        };
        auto recorder = std::make_shared<Recorder>();
        QVMUtils::setAlertPresenter(recorder);
        QVMGeneralPanels::setUrlOpener([](const QUrl &) { return false; });
        QVGeneralWindowController window;
        window.showWindow();
        QVMGeneralViewController *general = window.generalViewController();
        general->setTextAndTranslation(QStringLiteral("Hello"), translation(int(state.range(0))));
        QVMGeneralPanels::forView(general)->sendByEmail();
        QVMGeneralPanels::setUrlOpener({});
        shown = recorder->text;
    }
    FirstPaint probe;
    qApp->installEventFilter(&probe);
    double total = 0;
    for (auto _ : state) {
        probe.start();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Title"), QStringLiteral("Title"));
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(shown);
        box.addButton(QStringLiteral("Copy"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Close"), QMessageBox::RejectRole);
        box.exec();
        total += probe.ms;
    }
    qApp->removeEventFilter(&probe);
    g_bare[int(state.range(0))] = total / double(state.iterations());
    state.counters["ms"] = total / double(state.iterations());
}

BENCHMARK(email_alert_bare)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(10000)->Arg(1000000);
BENCHMARK(email_alert)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(10000)->Arg(1000000);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
