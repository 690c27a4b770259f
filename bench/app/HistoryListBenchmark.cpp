// What the side panel's lists cost, beside Qt doing the bare work in the same
// run, so a busy machine slows both sides alike. Each figure is printed with
// its goal and its ratio to the bare one.
//
//   show_history   the history page made and shown with N stored translations;
//                  bare: a plain table over a model of N empty rows; goal 200 ms at 10,000
//   insert_one     one translation saved until the list has its new row (main thread);
//                  bare: the same save with nobody listening; goal 16 ms
//   search_key     the language list's sections rebuilt for one search keystroke over the
//                  full catalogue; bare: filtering the names in memory; goal 16 ms
//
// Sizes: 10,000 and 100,000 translations.
#include "core/history/QVDataManager.h"
#include "core/models/QVModelRegistry.h"
#include "core/models/QVTranslationRealm.h"
#include "core/settings/QVSettingsService.h"
#include "panes/history/QVMHistoryListModel.h"
#include "panes/history/QVMHistoryViewController.h"
#include "panes/languages/QVLanguagesDataSourceService.h"
#include "platform/UserDefaults.h"
#include "platform/store/Store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

const QString kTranslation = QStringLiteral("QVTranslationRealm");
constexpr int kLanguages = 120;

QTemporaryDir &home() {
    static QTemporaryDir dir;
    return dir;
}

// A store with the catalogue and `count` translations, made once per size.
void openStoreWith(int count) {
    static int open = -1;
    if (open == count)
        return;
    platform::ObjectStore::resetDefaultStore();
    platform::StoreConfiguration config;
    config.path = home().filePath(QStringLiteral("history-%1.sqlite").arg(count));
    config.schemaVersion = 112;
    config.classes = QVModelRegistry::allSchemas();
    platform::ObjectStore::setDefaultConfiguration(config);
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.objects(kTranslation).count() < count) {
        store.write([&](platform::Transaction &tx) {
            QList<platform::Object> languages;
            for (int i = 0; i < kLanguages; ++i) {
                const platform::Object modes =
                    tx.create(QStringLiteral("QVLanguageMode"), {{"translateWebSite", i % 3 == 0}});
                languages << tx.createOrUpdate(
                    QStringLiteral("QVLanguageRealm"),
                    {{"localeIdentifier", QStringLiteral("l%1_XX").arg(i)},
                     {"languageName", QStringLiteral("Language %1 (Région)").arg(i)},
                     {"languageString", QStringLiteral("l%1").arg(i)},
                     {"imageFile", QStringLiteral("flags/l%1.png").arg(i)},
                     {"languageModes", QVariant::fromValue(modes)}});
            }
            for (int i = 0; i < count; ++i)
                tx.createOrUpdate(kTranslation,
                                  {{"idTranslation", qint64(i + 1)},
                                   {"createdDate", double(i + 1)},
                                   {"originalText", QStringLiteral("source text number %1").arg(i)},
                                   {"translatedText", QStringLiteral("translated text %1").arg(i)},
                                   {"isFavorite", i % 10 == 0},
                                   {"languageFrom", QVariant::fromValue(languages.at(i % kLanguages))},
                                   {"languageTo", QVariant::fromValue(languages.at((i + 1) % kLanguages))}});
        });
    }
    QVSettingsService::defaultSettings();
    open = count;
}

class RowsModel : public QAbstractListModel {
public:
    explicit RowsModel(int rows) : m_rows(rows) {}
    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : m_rows; }
    QVariant data(const QModelIndex &, int) const override { return {}; }

private:
    int m_rows;
};

std::map<std::string, double> g_bare;

void report(benchmark::State &state, const std::string &name, double ms, double goal) {
    state.counters["ms"] = ms;
    state.counters["goal_ms"] = goal;
    const auto bare = g_bare.find(name);
    if (bare != g_bare.end() && bare->second > 0)
        state.counters["x_bare"] = ms / bare->second;
}

void BM_ShowHistoryBare(benchmark::State &state) {
    const int rows = int(state.range(0));
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QTableView table;
        RowsModel model(rows);
        table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table.setModel(&model);
        table.resize(360, 700);
        table.show();
        QApplication::processEvents();
        total += timer.nsecsElapsed() / 1e6;
    }
    g_bare["show_history/" + std::to_string(rows)] = total / double(state.iterations());
    state.counters["ms"] = total / double(state.iterations());
}

void BM_ShowHistory(benchmark::State &state) {
    const int rows = int(state.range(0));
    openStoreWith(rows);
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QVMHistoryViewController history;
        history.view()->resize(360, 700);
        history.view()->show();
        QApplication::processEvents();
        total += timer.nsecsElapsed() / 1e6;
    }
    report(state, "show_history/" + std::to_string(rows), total / double(state.iterations()), 200);
}

double saveOne(qint64 id) {
    QElapsedTimer timer;
    timer.start();
    QVDataManager::sharedInstance().saveTranslationFromDictionary(
        {{"idTranslation", id},
         {"createdDate", double(id)},
         {"languageFrom", "l1_XX"},
         {"languageTo", "l2_XX"},
         {"originalText", QStringLiteral("new one")},
         {"translatedText", QStringLiteral("neu")}},
        {});
    return timer.nsecsElapsed() / 1e6;
}

void BM_InsertOneBare(benchmark::State &state) {
    const int rows = int(state.range(0));
    openStoreWith(rows);
    static qint64 next = 50000000;
    double total = 0;
    for (auto _ : state)
        total += saveOne(++next);
    g_bare["insert_one/" + std::to_string(rows)] = total / double(state.iterations());
    state.counters["ms"] = total / double(state.iterations());
}

void BM_InsertOne(benchmark::State &state) {
    const int rows = int(state.range(0));
    openStoreWith(rows);
    QVMHistoryViewController history;
    history.view()->resize(360, 700);
    history.view()->show();
    QApplication::processEvents();
    static qint64 next = 60000000;
    double total = 0;
    for (auto _ : state) {
        bool inserted = false;
        const auto connection = QObject::connect(history.model(), &QAbstractItemModel::rowsInserted,
                                                 history.model(), [&] { inserted = true; });
        QElapsedTimer timer;
        timer.start();
        saveOne(++next);
        while (!inserted)
            QApplication::processEvents();
        total += timer.nsecsElapsed() / 1e6;
        QObject::disconnect(connection);
    }
    report(state, "insert_one/" + std::to_string(rows), total / double(state.iterations()), 16);
}

void BM_SearchKeyBare(benchmark::State &state) {
    openStoreWith(10000);
    QStringList names;
    for (int i = 0; i < kLanguages; ++i)
        names << QStringLiteral("Language %1 (Région)").arg(i);
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QStringList found;
        for (const QString &name : std::as_const(names))
            if (name.contains(QStringLiteral("regio"), Qt::CaseInsensitive))
                found << name;
        benchmark::DoNotOptimize(found);
        total += timer.nsecsElapsed() / 1e6;
    }
    g_bare["search_key"] = total / double(state.iterations());
    state.counters["ms"] = total / double(state.iterations());
}

void BM_SearchKey(benchmark::State &state) {
    openStoreWith(10000);
    const QVLanguagesDataSourceService service;
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const FVCompositeArray list = service.dataSourceWithLanguageDirection(1, QStringLiteral("regio"));
        benchmark::DoNotOptimize(list.countOfItems());
        total += timer.nsecsElapsed() / 1e6;
    }
    report(state, "search_key", total / double(state.iterations()), 16);
}

BENCHMARK(BM_ShowHistoryBare)->Arg(10000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowHistory)->Arg(10000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertOneBare)->Arg(10000)->Arg(100000)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertOne)->Arg(10000)->Arg(100000)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchKeyBare)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchKey)->Iterations(50)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::UserDefaults::setStorageFile(home().filePath(QStringLiteral("defaults.ini")));
    if (QVModelRegistry::declareMappings())
        return 2;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
