// What the offline tab costs with a catalogue of 60 stored languages, the
// backend unreachable (so the stored catalogue is what shows):
//
//   show_stored   making and laying out the tab with the stored groups; goal 200 ms
//   search_key    one keystroke in the search field (filter and rebuild); goal 16 ms
#include "panes/offline/QVMOfflineViewController.h"

#include "core/QVStoreConfiguration.h"
#include "core/models/QVPackagesMapper.h"
#include "startup/QVStoreMigration.h"

#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kLanguages = 60;
std::unique_ptr<QTemporaryDir> g_home;

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

bool prepare() {
    g_home = std::make_unique<QTemporaryDir>();
    platform::AppPaths::setRoot(g_home->path());
    platform::BackendConfig::overrideHost("QV_API_HOST", QUrl(QStringLiteral("http://127.0.0.1:9")));
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return false;
    platform::UserDefaults::standard().setBool(true, QVMOfflineViewController::kPackagesWereRemovedKey);
    return !QVPackagesMapper::createRealmObject(catalogue());
}

void show_stored(benchmark::State &state) {
    for (auto _ : state) {
        QVMOfflineViewController tab;
        tab.view()->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(tab.rowCount());
    }
}
BENCHMARK(show_stored)->Unit(benchmark::kMillisecond);

void search_key(benchmark::State &state) {
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

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (!prepare()) {
        fprintf(stderr, "bench_offline: the store could not be prepared\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::AppPaths::setRoot(QString());
    return 0;
}
