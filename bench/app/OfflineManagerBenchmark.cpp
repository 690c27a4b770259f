// What the offline tab costs with the backend unreachable (so the stored
// catalogue is what shows), beside the bare store reading of the same groups
// in the same run:
//
//   show_stored        making and laying out the tab with 60 stored languages; goal 200 ms
//   search_key         one keystroke in the search field over 60 languages; goal 16 ms
//   show_catalogue     the tab made and shown with 100,000 stored languages until its
//                      first frame was painted; goal 1000 ms, resident memory grown by under 100 MB;
//                      bare: reading the same groups' codes and names from the store
//   search_key_large   one keystroke over the 100,000 languages; goal 100 ms
//   first_open/N       the tab's first opening ever over N stored languages none of which is
//                      installed: the stored catalogue is cleared once, then the tab shows;
//                      goal 1000 ms; bare: reading every stored package's kind and language
#include "panes/offline/QVMOfflineViewController.h"

#include "core/QVStoreConfiguration.h"
#include "core/models/QVPackagesMapper.h"
#include "core/models/QVPackagesRealm.h"
#include "startup/QVStoreMigration.h"

#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "platform/UserDefaults.h"
#include "platform/store/Store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

constexpr int kLanguages = 60;
constexpr int kLargeCatalogue = 100000;
std::unique_ptr<QTemporaryDir> g_home;
std::map<std::string, double> g_bare;

QVariantList catalogue() {
    QVariantList items;
    for (int i = 0; i < kLanguages; ++i) {
        const QString code = QStringLiteral("l%1").arg(i, 2, 10, QLatin1Char('0'));
        for (const char *type : {"opennmt-desktop", "tesseract", "wordnet"})
            items.append(
                QVariantMap{{"lang", code},
                            {"local_lang", QStringLiteral("Language %1").arg(i)},
                            {"type", QString::fromLatin1(type)},
                            {"version", "1"},
                            {"compressedSize", "10 MB"},
                            {"model", QVariantMap{{"size", 10485760}, {"url", code + "/" + type + ".zip"}}}});
    }
    return items;
}

// The store of one size under its own home folder, made once; `fresh` makes it again under a new
// folder, with the stored catalogue not yet cleared (as before the tab's first opening).
bool useStore(int languages, bool fresh = false) {
    static int open = -1;
    static int made = 0;
    if (open == languages && !fresh)
        return true;
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(
        g_home->filePath(fresh ? QStringLiteral("fresh%1").arg(++made) : QString::number(languages)));
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return false;
    platform::UserDefaults::standard().setBool(!fresh, QVMOfflineViewController::kPackagesWereRemovedKey);
    open = fresh ? -1 : languages;
    if (languages == kLanguages)
        return !QVPackagesMapper::createRealmObject(catalogue());
    // Written directly: the mapper's own cost is not the tab's.
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    return !store.write([&](platform::Transaction &tx) {
        for (int i = 0; i < languages; ++i) {
            const QString code = QStringLiteral("x%1").arg(i, 6, 10, QLatin1Char('0'));
            const QString name = QStringLiteral("Language %1").arg(i, 6, 10, QLatin1Char('0'));
            const platform::Object package = tx.createOrUpdate(
                QVLanguagePackageRealm::storeClassName(),
                {{"packageUrl", QStringLiteral("http://127.0.0.1:9/v2/static/%1.zip").arg(code)},
                 {"languageCode", code},
                 {"localName", name},
                 {"type", "opennmt-desktop"},
                 {"packageSize", 10.0 + i % 90},
                 {"version", "1"}});
            tx.createOrUpdate(QVPackagesRealm::storeClassName(),
                              {{"languageCode", code},
                               {"localName", name},
                               {"imageUrl", ""},
                               {"packages", QVariantList{QVariant::fromValue(package)}}});
        }
    });
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Sees the first paint of a widget that is shown.
class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Shows the view and returns once its first frame was painted (a paint cycle draws the whole
// window at once), or after 30 s.
void showUntilPainted(QWidget *view) {
    FirstPaint paint;
    view->installEventFilter(&paint);
    view->show();
    QElapsedTimer waited;
    waited.start();
    while (!paint.painted && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    view->removeEventFilter(&paint);
}

void report(benchmark::State &state, const std::string &name, double ms, double goal) {
    state.counters["ms"] = ms;
    state.counters["goal_ms"] = goal;
    const auto bare = g_bare.find(name);
    if (bare != g_bare.end() && bare->second > 0)
        state.counters["x_bare"] = ms / bare->second;
}

void show_stored(benchmark::State &state) {
    if (!useStore(kLanguages)) {
        state.SkipWithError("the store could not be prepared");
        return;
    }
    for (auto _ : state) {
        QVMOfflineViewController tab;
        tab.view()->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(tab.rowCount());
    }
}
BENCHMARK(show_stored)->Unit(benchmark::kMillisecond);

void search_key(benchmark::State &state) {
    if (!useStore(kLanguages)) {
        state.SkipWithError("the store could not be prepared");
        return;
    }
    QVMOfflineViewController tab;
    tab.view()->show();
    const QStringList texts = {QStringLiteral("l"), QStringLiteral("la"), QStringLiteral("lan"), QString()};
    int at = 0;
    for (auto _ : state) {
        tab.searchField()->setText(texts.at(at++ % texts.size()));
        QCoreApplication::processEvents();
    }
}
BENCHMARK(search_key)->Unit(benchmark::kMillisecond);

void show_catalogue_bare(benchmark::State &state) {
    if (!useStore(kLargeCatalogue)) {
        state.SkipWithError("the store could not be prepared");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QStringList codes, names;
        for (const platform::Object &group : QVPackagesRealm::allSorted().toList()) {
            codes.append(QVPackagesRealm(group).languageCode());
            names.append(QVPackagesRealm(group).localName());
        }
        benchmark::DoNotOptimize(codes.size() + names.size());
        total += timer.nsecsElapsed() / 1e6;
    }
    g_bare["show_catalogue"] = total / double(state.iterations());
    state.counters["ms"] = total / double(state.iterations());
}
BENCHMARK(show_catalogue_bare)->Unit(benchmark::kMillisecond)->Iterations(3);

void show_catalogue(benchmark::State &state) {
    if (!useStore(kLargeCatalogue)) {
        state.SkipWithError("the store could not be prepared");
        return;
    }
    double total = 0;
    double grown = 0;
    for (auto _ : state) {
        const double before = residentMegabytes();
        QElapsedTimer timer;
        timer.start();
        {
            QVMOfflineViewController tab;
            tab.view()->resize(620, 420);
            showUntilPainted(tab.view());
            total += timer.nsecsElapsed() / 1e6;
            grown = std::max(grown, residentMegabytes() - before);
            if (tab.rowCount() != kLargeCatalogue)
                state.SkipWithError("the tab does not list every language");
        }
        QCoreApplication::processEvents();
    }
    report(state, "show_catalogue", total / double(state.iterations()), 1000);
    state.counters["rss_grown_mb"] = grown;
    state.counters["goal_mb"] = 100;
}
BENCHMARK(show_catalogue)->Unit(benchmark::kMillisecond)->Iterations(3);

void search_key_large(benchmark::State &state) {
    if (!useStore(kLargeCatalogue)) {
        state.SkipWithError("the store could not be prepared");
        return;
    }
    QVMOfflineViewController tab;
    tab.view()->resize(620, 420);
    tab.view()->show();
    QCoreApplication::processEvents();
    const QStringList texts = {QStringLiteral("9"), QStringLiteral("99"), QStringLiteral("999"), QString()};
    int at = 0;
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        tab.searchField()->setText(texts.at(at++ % texts.size()));
        QCoreApplication::processEvents();
        total += timer.nsecsElapsed() / 1e6;
    }
    report(state, "search_key_large", total / double(state.iterations()), 100);
}
BENCHMARK(search_key_large)->Unit(benchmark::kMillisecond)->Iterations(8);

void first_open_bare(benchmark::State &state) {
    const int languages = int(state.range(0));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!useStore(languages, true)) {
            state.SkipWithError("the store could not be prepared");
            return;
        }
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        QStringList kinds;
        for (const QVLanguagePackageRealm &package : platform::ObjectStore::defaultStore()
                                                         .objects(QVLanguagePackageRealm::storeClassName())
                                                         .toList<QVLanguagePackageRealm>())
            kinds.append(package.type() + package.languageCode());
        benchmark::DoNotOptimize(kinds.size());
        total += timer.nsecsElapsed() / 1e6;
    }
    g_bare["first_open/" + std::to_string(languages)] = total / double(state.iterations());
    state.counters["ms"] = total / double(state.iterations());
}
BENCHMARK(first_open_bare)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(10000)->Arg(kLargeCatalogue);

void first_open(benchmark::State &state) {
    const int languages = int(state.range(0));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!useStore(languages, true)) {
            state.SkipWithError("the store could not be prepared");
            return;
        }
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        {
            QVMOfflineViewController tab;
            tab.view()->resize(620, 420);
            tab.view()->show();
            QCoreApplication::processEvents();
            total += timer.nsecsElapsed() / 1e6;
            if (!platform::UserDefaults::standard().boolForKey(
                    QVMOfflineViewController::kPackagesWereRemovedKey))
                state.SkipWithError("the stored catalogue was not cleared");
        }
        QCoreApplication::processEvents();
    }
    report(state, "first_open/" + std::to_string(languages), total / double(state.iterations()), 1000);
}
BENCHMARK(first_open)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(10000)->Arg(kLargeCatalogue);

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    g_home = std::make_unique<QTemporaryDir>();
    platform::BackendConfig::overrideHost("QV_API_HOST", QUrl(QStringLiteral("http://127.0.0.1:9")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(QString());
    return 0;
}
