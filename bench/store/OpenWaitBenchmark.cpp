// How long the store's open keeps the interface thread while another program holds the file,
// beside plain SQLite opening the same file and reading it in the same run.
//
//   held_shaped   a file as this version shaped it, another program in the middle of a write
//   held_shaping  a file the open must shape (an older schema), the same write going on
//   quiet         the shaped file, nobody else holding it
//
// "opened" is the share of opens that gave a store; the rest were refused as in use.
#include "platform/SystemLog.h"
#include "platform/store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>

namespace {

platform::StoreConfiguration configuration(const QString &path) {
    platform::StoreConfiguration config;
    config.path = path;
    config.schemaVersion = 3;
    config.classes = {platform::ObjectSchema(QStringLiteral("Translation"))
                          .primaryKey(QStringLiteral("idTranslation"), platform::PropertyType::Int)
                          .property(QStringLiteral("originalText"), platform::PropertyType::String)};
    return config;
}

enum class Holder { None, Writing };

// A shaped file with a few rows, and another connection that holds it as asked.
class HeldFile {
public:
    HeldFile(Holder holder, bool older) : m_path(m_dir.filePath(QStringLiteral("store.sqlite"))) {
        {
            platform::ObjectStore store = platform::ObjectStore::open(configuration(m_path));
            store.write([](platform::Transaction &tx) {
                for (int id = 1; id <= 100; ++id)
                    tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), id}});
            });
        }
        sqlite3_open(m_path.toUtf8().constData(), &m_other);
        if (older)
            sqlite3_exec(m_other, "PRAGMA user_version = 2", nullptr, nullptr, nullptr);
        if (holder == Holder::Writing)
            sqlite3_exec(m_other, "BEGIN IMMEDIATE; INSERT INTO Translation (idTranslation) VALUES (1000)",
                         nullptr, nullptr, nullptr);
    }
    ~HeldFile() { sqlite3_close(m_other); }
    const QString &path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    sqlite3 *m_other = nullptr;
};

void storeOpen(benchmark::State &state, Holder holder, bool older) {
    const HeldFile file(holder, older);
    int opened = 0;
    for (auto _ : state) {
        const platform::ObjectStore store = platform::ObjectStore::open(configuration(file.path()));
        opened += store.isNull() ? 0 : 1;
        benchmark::DoNotOptimize(store.isNull() ? 0 : store.objects(QStringLiteral("Translation")).count());
    }
    state.counters["opened"] = double(opened) / double(state.iterations());
}

void rawOpen(benchmark::State &state, Holder holder, bool older) {
    const HeldFile file(holder, older);
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open(file.path().toUtf8().constData(), &db);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM Translation", -1, &st, nullptr);
        sqlite3_step(st);
        benchmark::DoNotOptimize(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
}

void registerPair(const char *what, Holder holder, bool older, int iterations) {
    for (const bool store : {true, false}) {
        const std::string name = std::string("open/") + what + (store ? "/store" : "/raw");
        benchmark::RegisterBenchmark(name.c_str(),
                                     [=](benchmark::State &state) {
                                         store ? storeOpen(state, holder, older)
                                               : rawOpen(state, holder, older);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations);
    }
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // the opens run on the interface thread, as at launch
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    platform::SystemLog::setSink([](const QString &) {});
    platform::ObjectStore::setReporter([](const platform::Error &, const QString &) {});
    registerPair("quiet", Holder::None, false, 20);
    registerPair("held_shaped", Holder::Writing, false, 3);
    registerPair("held_shaping", Holder::Writing, true, 3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
