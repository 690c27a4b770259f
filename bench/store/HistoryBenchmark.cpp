// What the history screen costs, beside plain SQLite doing the same work on the
// same tables and data in the same run. Each figure is printed with its ratio
// to the raw one, so a busy machine slows both sides alike.
//
//   read_fields   every field a history row shows (texts, favourite, id, date, both
//                 languages' names and flags), for all rows, newest first
//   save_notified one save through QVDataManager until an observer of all rows hears it
//   cold_open     opening the file and running the screen's first query
//   search        case- and diacritic-insensitive search in both texts
//   clear         removing every translation
//
// Sizes: 10,000 and 100,000 translations; QV_BENCH_MILLION=1 adds 1,000,000 to save_notified.
#include "core/history/QVDataManager.h"
#include "core/models/QVModelRegistry.h"
#include "core/models/QVTranslationRealm.h"

#include "platform/SystemLog.h"
#include "platform/store/Sqlite.h"
#include "platform/store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>

using platform::Key;
using platform::ObjectStore;

namespace {

const QString kTranslation = QStringLiteral("QVTranslationRealm");
const QString kSearchNeedle = QStringLiteral("ZURICH"); // stored as "Zürich" in one row of 100

struct Language {
    const char *locale;
    const char *name;
};
const Language kLanguages[] = {{"en_GB", "English (UK)"}, {"de_DE", "German"},  {"fr_FR", "French"},
                               {"es_ES", "Spanish"},      {"it_IT", "Italian"}, {"pt_PT", "Portuguese"},
                               {"pl_PL", "Polish"},       {"tr_TR", "Turkish"}};
constexpr int kLanguageCount = sizeof(kLanguages) / sizeof(kLanguages[0]);

const char *const kWords[] = {"café",   "naïve",  "Straße", "house", "garden",  "Ärger", "über", "cœur",
                              "piñata", "résumé", "window", "river", "Mädchen", "élan",  "tree", "light"};
constexpr int kWordCount = sizeof(kWords) / sizeof(kWords[0]);

QString sentence(int i, int salt) {
    QStringList words;
    for (int w = 0; w < 5; ++w)
        words.append(QString::fromUtf8(kWords[(i * 7 + w * 3 + salt) % kWordCount]));
    if (i % 100 == 42)
        words.insert(2, QStringLiteral("Zürich"));
    words.append(QString::number(i));
    return words.join(QLatin1Char(' '));
}

platform::StoreConfiguration configuration(const QString &path) {
    platform::StoreConfiguration config;
    config.path = path;
    config.schemaVersion = 112;
    config.classes = QVModelRegistry::allSchemas();
    return config;
}

void useStore(const QString &path) {
    ObjectStore::setDefaultConfiguration(configuration(path));
    if (ObjectStore::defaultStore().isNull())
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
}

// Builds a file with `count` translations through QVDataManager, once per size.
// QV_BENCH_DIR keeps the files between runs (a file made by an older build is not refreshed).
QString templateFile(int count) {
    static QTemporaryDir temporary;
    static const QString dir =
        qEnvironmentVariableIsEmpty("QV_BENCH_DIR") ? temporary.path() : qEnvironmentVariable("QV_BENCH_DIR");
    static std::map<int, QString> made;
    auto it = made.find(count);
    if (it != made.end())
        return it->second;
    const QString path = QDir(dir).filePath(QStringLiteral("history-%1.sqlite").arg(count));
    if (QFile::exists(path)) {
        made.emplace(count, path);
        return path;
    }
    useStore(path);
    ObjectStore store = ObjectStore::defaultStore();
    QList<QVLanguageRealm> languages;
    store.write([&](platform::Transaction &tx) {
        for (const Language &l : kLanguages) {
            languages.append(QVLanguageRealm(
                tx.createOrUpdate(QVLanguageRealm::storeClassName(),
                                  {{QStringLiteral("localeIdentifier"), QString::fromLatin1(l.locale)},
                                   {QStringLiteral("languageName"), QString::fromUtf8(l.name)},
                                   {QStringLiteral("imageFile"),
                                    QStringLiteral("flag_%1.png").arg(QLatin1String(l.locale))}})));
        }
    });
    constexpr int kChunk = 10000;
    for (int start = 0; start < count; start += kChunk) {
        QList<QVTranslationRealm> records;
        for (int i = start; i < std::min(count, start + kChunk); ++i) {
            const double created = 700000000.0 + i;
            records.append(QVTranslationRealm(platform::Object::unmanaged(
                QVTranslationRealm::schema(),
                {{QStringLiteral("idTranslation"), static_cast<qint64>(created)},
                 {QStringLiteral("isSynch"), true},
                 {QStringLiteral("translationType"), 1},
                 {QStringLiteral("languageFrom"),
                  QVariant::fromValue<platform::Object>(languages.at(i % kLanguageCount))},
                 {QStringLiteral("languageTo"),
                  QVariant::fromValue<platform::Object>(languages.at((i + 1) % kLanguageCount))},
                 {QStringLiteral("isFavorite"), i % 9 == 0},
                 {QStringLiteral("originalText"), sentence(i, 0)},
                 {QStringLiteral("translatedText"), sentence(i, 5)},
                 {QStringLiteral("transliterationOriginalText"), QStringLiteral("")},
                 {QStringLiteral("transliterationTranslatedText"), QStringLiteral("")},
                 {QStringLiteral("createdDate"), created}})));
        }
        const platform::Error error = QVDataManager::sharedInstance().saveTranslations(records, {});
        if (error)
            std::fprintf(stderr, "fill failed: %s\n", qPrintable(error.localizedDescription()));
    }
    ObjectStore::resetDefaultStore();
    store = ObjectStore();
    // Fold the journal into the file so that a copy of the file alone is complete.
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    made.emplace(count, path);
    return path;
}

// A private copy of the template for benchmarks that change the data.
QString workingCopy(int count, const QString &name) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("%1-%2.sqlite").arg(name).arg(count));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    QFile::copy(templateFile(count), path);
    return path;
}

// Plain SQLite on the same file.
struct Raw {
    sqlite3 *db = nullptr;
    explicit Raw(const QString &path) {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 10000);
        // The store's own durability level, so that commits compare like with like.
        sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
        sqlite3_create_function(db, "fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &fold, nullptr,
                                nullptr);
    }
    ~Raw() { sqlite3_close(db); }
    static void fold(sqlite3_context *context, int, sqlite3_value **argv) {
        const QString text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])),
                                               sqlite3_value_bytes(argv[0]));
        const QByteArray folded =
            platform::sqlite::fold(text, platform::sqlite::FoldCase | platform::sqlite::FoldDiacritics)
                .toUtf8();
        sqlite3_result_text(context, folded.constData(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
    }
    QString text(sqlite3_stmt *st, int column) const {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, column)),
                                 sqlite3_column_bytes(st, column));
    }
};

// The row as the history cell shows it.
struct ShownRow {
    QString original, translated, fromName, fromFlag, toName, toFlag;
    bool favourite = false;
    qint64 id = 0;
    double created = 0;
    qsizetype weight() const {
        return original.size() + translated.size() + fromName.size() + fromFlag.size() + toName.size() +
               toFlag.size() + (favourite ? 1 : 0) + (id & 1) + static_cast<qsizetype>(created) % 2;
    }
};

ShownRow shown(const QVTranslationRealm &record) {
    ShownRow row;
    row.original = record.originalText();
    row.translated = record.translatedText();
    const QVLanguageRealm from = record.languageFrom();
    const QVLanguageRealm to = record.languageTo();
    row.fromName = from.languageName();
    row.fromFlag = from.imageFile();
    row.toName = to.languageName();
    row.toFlag = to.imageFile();
    row.favourite = record.isFavorite().value_or(false);
    row.id = record.idTranslation().value_or(0);
    row.created = record.createdDate().value_or(0);
    return row;
}

const char *const kRawShownSql =
    "SELECT t.originalText, t.translatedText, f.languageName, f.imageFile, g.languageName, g.imageFile, "
    "t.isFavorite, t.idTranslation, t.createdDate FROM QVTranslationRealm t "
    "LEFT JOIN QVLanguageRealm f ON f._id = t.languageFrom LEFT JOIN QVLanguageRealm g ON g._id = "
    "t.languageTo ";

qsizetype rawShown(Raw &raw, const char *where, const QByteArray &needle) {
    const QByteArray sql = QByteArray(kRawShownSql) + where + " ORDER BY t.createdDate DESC, t._id DESC";
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(raw.db, sql.constData(), -1, &st, nullptr);
    for (int i = 1; i <= sqlite3_bind_parameter_count(st); ++i)
        sqlite3_bind_text(st, i, needle.constData(), static_cast<int>(needle.size()), SQLITE_TRANSIENT);
    qsizetype total = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ShownRow row;
        row.original = raw.text(st, 0);
        row.translated = raw.text(st, 1);
        row.fromName = raw.text(st, 2);
        row.fromFlag = raw.text(st, 3);
        row.toName = raw.text(st, 4);
        row.toFlag = raw.text(st, 5);
        row.favourite = sqlite3_column_int(st, 6) != 0;
        row.id = sqlite3_column_int64(st, 7);
        row.created = sqlite3_column_double(st, 8);
        total += row.weight();
    }
    sqlite3_finalize(st);
    return total;
}

platform::Results newestFirst() {
    return ObjectStore::defaultStore().objects(kTranslation).sorted(QStringLiteral("createdDate"), false);
}

// read_fields

void storeReadFields(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    useStore(workingCopy(count, QStringLiteral("read")));
    for (auto _ : state) {
        qsizetype total = 0;
        for (const QVTranslationRealm &record : newestFirst().toList<QVTranslationRealm>())
            total += shown(record).weight();
        benchmark::DoNotOptimize(total);
    }
    ObjectStore::resetDefaultStore();
}

void rawReadFields(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    Raw raw(workingCopy(count, QStringLiteral("read-raw")));
    for (auto _ : state)
        benchmark::DoNotOptimize(rawShown(raw, "", {}));
}

// search

void storeSearch(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    useStore(workingCopy(count, QStringLiteral("search")));
    int found = 0;
    for (auto _ : state) {
        const platform::Results matches =
            ObjectStore::defaultStore()
                .objects(kTranslation)
                .filter(Key(QStringLiteral("originalText")).contains(kSearchNeedle) ||
                        Key(QStringLiteral("translatedText")).contains(kSearchNeedle))
                .sorted(QStringLiteral("createdDate"), false);
        qsizetype total = 0;
        const QList<QVTranslationRealm> rows = matches.toList<QVTranslationRealm>();
        for (const QVTranslationRealm &record : rows)
            total += shown(record).weight();
        found = static_cast<int>(rows.size());
        benchmark::DoNotOptimize(total);
    }
    state.counters["found"] = found;
    ObjectStore::resetDefaultStore();
}

void rawSearch(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    Raw raw(workingCopy(count, QStringLiteral("search-raw")));
    const QByteArray needle =
        platform::sqlite::fold(kSearchNeedle, platform::sqlite::FoldCase | platform::sqlite::FoldDiacritics)
            .toUtf8();
    for (auto _ : state) {
        benchmark::DoNotOptimize(rawShown(
            raw, "WHERE instr(fold(t.originalText), ?1) > 0 OR instr(fold(t.translatedText), ?1) > 0",
            needle));
    }
}

// save_notified

void storeSaveNotified(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    useStore(workingCopy(count, QStringLiteral("save")));
    const QVLanguageRealm english(ObjectStore::defaultStore().objectForPrimaryKey(
        QVLanguageRealm::storeClassName(), QStringLiteral("en_GB")));
    const QVLanguageRealm german(ObjectStore::defaultStore().objectForPrimaryKey(
        QVLanguageRealm::storeClassName(), QStringLiteral("de_DE")));
    int calls = 0;
    platform::CollectionChange last;
    platform::NotificationToken token = newestFirst().observe([&](const platform::CollectionChange &change) {
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
        const platform::Error error = QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
            next, 1, english, german, false, QStringLiteral("new text"), QStringLiteral("neuer Text"), {}, {},
            static_cast<double>(next));
        ++next;
        while (calls == before && !error)
            QCoreApplication::processEvents();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (error || last.insertions != QList<int>{0})
            state.SkipWithError("save failed or unexpected change set");
    }
    token.invalidate();
    ObjectStore::resetDefaultStore();
}

void rawSaveNotified(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    Raw raw(workingCopy(count, QStringLiteral("save-raw")));
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(
        raw.db,
        "INSERT INTO QVTranslationRealm (idTranslation, isSynch, translationType, languageFrom, "
        "languageTo, isFavorite, originalText, translatedText, transliterationOriginalText, "
        "transliterationTranslatedText, createdDate) VALUES (?1, 1, 1, 1, 2, 0, 'new text', "
        "'neuer Text', '', '', ?1)",
        -1, &st, nullptr);
    qint64 next = 900000000;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        sqlite3_bind_int64(st, 1, next++);
        sqlite3_step(st);
        sqlite3_reset(st);
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    sqlite3_finalize(st);
}

// cold_open

void storeColdOpen(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    const QString path = workingCopy(count, QStringLiteral("open"));
    for (auto _ : state) {
        ObjectStore store = ObjectStore::open(configuration(path));
        const platform::Results newest =
            store.objects(kTranslation).sorted(QStringLiteral("createdDate"), false);
        benchmark::DoNotOptimize(newest.count());
        benchmark::DoNotOptimize(shown(QVTranslationRealm(newest.first())).weight());
    }
}

void rawColdOpen(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    const QString path = workingCopy(count, QStringLiteral("open-raw"));
    for (auto _ : state) {
        Raw raw(path);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(raw.db, "SELECT count(*) FROM QVTranslationRealm", -1, &st, nullptr);
        sqlite3_step(st);
        benchmark::DoNotOptimize(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        const QByteArray first =
            QByteArray(kRawShownSql) + " ORDER BY t.createdDate DESC, t._id DESC LIMIT 1";
        sqlite3_prepare_v2(raw.db, first.constData(), -1, &st, nullptr);
        sqlite3_step(st);
        benchmark::DoNotOptimize(raw.text(st, 0));
        sqlite3_finalize(st);
    }
}

// clear

void storeClear(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        useStore(workingCopy(count, QStringLiteral("clear")));
        state.ResumeTiming();
        const platform::Error error = QVDataManager::sharedInstance().removeAllTranslation();
        state.PauseTiming();
        if (error || ObjectStore::defaultStore().objects(kTranslation).count() != 0)
            state.SkipWithError("clear failed");
        ObjectStore::resetDefaultStore();
        state.ResumeTiming();
    }
}

void rawClear(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto raw = std::make_unique<Raw>(workingCopy(count, QStringLiteral("clear-raw")));
        state.ResumeTiming();
        sqlite3_exec(raw->db, "DELETE FROM QVTranslationRealm", nullptr, nullptr, nullptr);
        state.PauseTiming();
        raw.reset();
        state.ResumeTiming();
    }
}

// Keeps each figure and prints the store's figure over the raw one per size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            m_ms[run.benchmark_name()] =
                run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMicrosecond ? 1e-3 : 1.0);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-16s %10s %12s %12s %8s\n", "what", "rows", "store ms", "raw ms", "ratio");
        for (const auto &[name, ms] : m_ms) {
            // history/<what>/store/<rows>[/iterations:n][/manual_time][_<aggregate>]
            QString base = QString::fromStdString(name);
            const qsizetype underscore = base.lastIndexOf(QLatin1Char('_'));
            const QString aggregate =
                underscore > base.lastIndexOf(QLatin1Char('/')) ? base.mid(underscore + 1) : QString();
            if (!aggregate.isEmpty() && aggregate != QLatin1String("median") &&
                aggregate != QLatin1String("time"))
                continue; // with repetitions, the medians are compared
            const QStringList parts = base.split(QLatin1Char('/'));
            if (parts.size() < 4 || parts.at(2) != QLatin1String("store"))
                continue;
            QString rawName = base;
            rawName.replace(QStringLiteral("/store/"), QStringLiteral("/raw/"));
            const auto raw = m_ms.find(rawName.toStdString());
            if (raw == m_ms.end())
                continue;
            std::printf("%-16s %10s %12.3f %12.3f %7.2fx\n", qPrintable(parts.at(1)),
                        qPrintable(parts.at(3).section(QLatin1Char('_'), 0, 0)), ms, raw->second,
                        ms / raw->second);
        }
    }

private:
    std::map<std::string, double> m_ms;
};

void registerPair(const char *what, void (*store)(benchmark::State &), void (*raw)(benchmark::State &),
                  std::initializer_list<int> sizes, bool manualTime, int iterations) {
    for (int size : sizes) {
        for (const auto &[side, fn] : {std::pair{"store", store}, std::pair{"raw", raw}}) {
            const std::string name = std::string("history/") + what + "/" + side;
            benchmark::internal::Benchmark *b = benchmark::RegisterBenchmark(name.c_str(), fn);
            b->Arg(size)->Unit(benchmark::kMillisecond);
            if (manualTime)
                b->UseManualTime();
            if (iterations > 0)
                b->Iterations(iterations);
        }
    }
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    // The saves log a diagnostic line each; keep the figures readable.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    platform::SystemLog::setSink([](const QString &) {});
    if (const platform::Error declared = QVModelRegistry::declareMappings())
        std::fprintf(stderr, "%s\n", qPrintable(declared.localizedDescription()));
    const bool million = qEnvironmentVariableIntValue("QV_BENCH_MILLION") == 1;
    registerPair("read_fields", storeReadFields, rawReadFields, {10000, 100000}, false, 0);
    registerPair("search", storeSearch, rawSearch, {10000, 100000}, false, 0);
    registerPair("cold_open", storeColdOpen, rawColdOpen, {10000, 100000}, false, 0);
    registerPair("clear", storeClear, rawClear, {10000, 100000}, false, 5);
    if (million)
        registerPair("save_notified", storeSaveNotified, rawSaveNotified, {10000, 100000, 1000000}, true, 50);
    else
        registerPair("save_notified", storeSaveNotified, rawSaveNotified, {10000, 100000}, true, 50);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
