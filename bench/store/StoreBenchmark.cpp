// Store figures on this machine: 10,000 translation-like records inserted in
// one transaction, read back newest first, and one insertion delivered to an
// observer of all of them.
#include "platform/store/Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace platform;

namespace {

constexpr int kRecords = 10000;

StoreConfiguration configuration(const QString &path) {
    StoreConfiguration config;
    config.path = path;
    config.schemaVersion = 112;
    config.classes = {
        ObjectSchema(QStringLiteral("Language"))
            .primaryKey(QStringLiteral("localeIdentifier"), PropertyType::String)
            .property(QStringLiteral("languageName"), PropertyType::String),
        ObjectSchema(QStringLiteral("Translation"))
            .primaryKey(QStringLiteral("idTranslation"), PropertyType::Int)
            .link(QStringLiteral("languageFrom"), QStringLiteral("Language"))
            .link(QStringLiteral("languageTo"), QStringLiteral("Language"))
            .property(QStringLiteral("originalText"), PropertyType::String)
            .property(QStringLiteral("translatedText"), PropertyType::String)
            .property(QStringLiteral("isFavorite"), PropertyType::Bool)
            .property(QStringLiteral("detectedLanguage"), PropertyType::String)
            .property(QStringLiteral("createdDate"), PropertyType::Double)
            .property(QStringLiteral("isSynch"), PropertyType::Bool)
            .property(QStringLiteral("transliterationOriginalText"), PropertyType::String)
            .property(QStringLiteral("transliterationTranslatedText"), PropertyType::String)
            .property(QStringLiteral("translationType"), PropertyType::Int)
            .property(QStringLiteral("learnCount"), PropertyType::Int)
            .indexed(QStringLiteral("createdDate")),
    };
    return config;
}

Error fill(const ObjectStore &store, int count) {
    return store.write([&](Transaction &tx) {
        const Object en = tx.createOrUpdate(QStringLiteral("Language"),
                                            {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
        const Object de = tx.createOrUpdate(QStringLiteral("Language"),
                                            {{QStringLiteral("localeIdentifier"), QStringLiteral("de_DE")}});
        for (int i = 0; i < count; ++i) {
            tx.create(QStringLiteral("Translation"),
                      {{QStringLiteral("idTranslation"), 800000000 + i},
                       {QStringLiteral("languageFrom"), QVariant::fromValue(en)},
                       {QStringLiteral("languageTo"), QVariant::fromValue(de)},
                       {QStringLiteral("originalText"), QStringLiteral("source text number %1").arg(i)},
                       {QStringLiteral("translatedText"), QStringLiteral("Ausgangstext Nummer %1").arg(i)},
                       {QStringLiteral("isFavorite"), i % 7 == 0},
                       {QStringLiteral("createdDate"), 800000000.0 + ((i * 7919) % count)},
                       {QStringLiteral("isSynch"), true},
                       {QStringLiteral("transliterationOriginalText"), QString()},
                       {QStringLiteral("transliterationTranslatedText"), QString()},
                       {QStringLiteral("translationType"), 1},
                       {QStringLiteral("learnCount"), 0}});
        }
    });
}

void BM_Insert10000InOneTransaction(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        ObjectStore store = ObjectStore::open(configuration(dir.filePath(QStringLiteral("bench.sqlite"))));
        state.ResumeTiming();
        const Error error = fill(store, kRecords);
        if (error)
            state.SkipWithError(error.localizedDescription().toUtf8().constData());
    }
}

struct Filled {
    QTemporaryDir dir;
    ObjectStore store;
    Filled() {
        store = ObjectStore::open(configuration(dir.filePath(QStringLiteral("bench.sqlite"))));
        fill(store, kRecords);
    }
};

void BM_ReadSortedNewestFirst(benchmark::State &state) {
    Filled filled;
    for (auto _ : state) {
        // A fresh query each time, as the history list does on every reload.
        const Results newest =
            filled.store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
        benchmark::DoNotOptimize(newest.count());
        benchmark::DoNotOptimize(newest.first().value(QStringLiteral("originalText")));
    }
}

void BM_ReadSortedNewestFirstWithTexts(benchmark::State &state) {
    Filled filled;
    for (auto _ : state) {
        const Results newest =
            filled.store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
        qsizetype total = 0;
        for (const Object &o : newest.toList())
            total += o.value(QStringLiteral("originalText")).toString().size();
        benchmark::DoNotOptimize(total);
    }
}

void BM_ReadSortedNewestFirstAsObjects(benchmark::State &state) {
    Filled filled;
    for (auto _ : state) {
        const Results newest =
            filled.store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
        benchmark::DoNotOptimize(newest.toList().size());
    }
}

void BM_OneInsertionNotifiedToObserverOfAll(benchmark::State &state) {
    Filled filled;
    const Results newest =
        filled.store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
    int calls = 0;
    CollectionChange last;
    NotificationToken token = newest.observe([&](const CollectionChange &change) {
        ++calls;
        last = change;
    });
    while (calls == 0)
        QCoreApplication::processEvents();
    qint64 next = 900000000;
    for (auto _ : state) {
        const int before = calls;
        QElapsedTimer timer;
        timer.start();
        filled.store.write([&](Transaction &tx) {
            tx.create(QStringLiteral("Translation"),
                      {{QStringLiteral("idTranslation"), next},
                       {QStringLiteral("createdDate"), static_cast<double>(next)},
                       {QStringLiteral("originalText"), QStringLiteral("new")}});
        });
        ++next;
        while (calls == before)
            QCoreApplication::processEvents();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (last.insertions != QList<int>{0})
            state.SkipWithError("unexpected change set");
    }
}

} // namespace

BENCHMARK(BM_Insert10000InOneTransaction)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadSortedNewestFirst)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSortedNewestFirstAsObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSortedNewestFirstWithTexts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneInsertionNotifiedToObserverOfAll)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(50);

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
