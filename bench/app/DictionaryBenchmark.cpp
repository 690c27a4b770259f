// What the dictionary tab and the panels' font steps cost, each beside the
// raw work underneath in the same run, so a busy machine slows both alike.
//
//   offline_dog      Return in the search field until the word list and the
//                    entry of "dog" are shown (WordNet package present);
//                    beside it the bare WordNet look-up; goal 50 ms
//   open_broken      opening a dictionary package whose last data file is empty (a broken
//                    package), as each keystroke's colouring asks; beside it open_loaded,
//                    the answer for files already loaded
//   open_during_load opening the loaded dictionary while another copy of its files is being
//                    loaded on another thread: held_ms, what the caller waited; goal 1 ms
//   render_entry     an entry of 5 parts of speech and 40 senses written into
//                    the entry view; beside it the same text set as plain text; goal 20 ms
//   font_step        one point larger on 10,000 characters in both panels,
//                    laid out again; goal 50 ms
//   render_examples  an entry of 20,000 (and 100,000) example pairs written into the
//                    entry view, which shows the first few hundred and says how many
//                    more; beside it the shown text set as plain text; goal 100 ms
//                    (the longest the interface thread may stall on any reply)
//   entry_from_reply the entry made from a reply of as many example pairs (the raw
//                    build); beside it entry_from_reply_main: the same reply handed to
//                    the request layer until the entry is delivered, with stall_ms the
//                    longest the main thread was held meanwhile (for the same goal)
#include "core/models/QVPackageFolders.h"
#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/dictionary/QVMLexicalMeaningRenderer.h"
#include "services/dictionary/QVWordNetDatabase.h"
#include "services/dictionary/WNWorldNet.h"
#include "services/network/QVRequestManager.h"

#include "platform/AppPaths.h"
#include "platform/NetworkStatus.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

std::unique_ptr<QTemporaryDir> g_home;

bool prepareWordNet() {
    g_home = std::make_unique<QTemporaryDir>();
    platform::AppPaths::setRoot(g_home->path());
    const QString folder = QVPackageFolders::dictionaryFolder();
    QDir().mkpath(folder);
    const QDir source(QStringLiteral("/usr/share/wordnet"));
    for (const QString &name : source.entryList({"index.*", "data.*", "*.exc"}, QDir::Files))
        QFile::link(source.filePath(name), QDir(folder).filePath(name));
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    return QFile::exists(QDir(folder).filePath(QStringLiteral("index.noun")));
}

template <typename Done> void spinUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void offline_dog(benchmark::State &state) {
    if (!prepareWordNet()) {
        state.SkipWithError("wordnet-base is not installed");
        return;
    }
    QVMDicrionaryController pane;
    pane.view()->show();
    // The word's language, as the main view hands it over with a selected word.
    pane.showWordFromMainView(QStringLiteral("dog"), QStringLiteral("en_GB"));
    spinUntil([&] { return pane.worldsTableView()->count() > 0; });
    for (auto _ : state) {
        pane.synonymsTextView()->clear();
        pane.worldsTableView()->clear();
        pane.searchField()->setText(QStringLiteral("dog"));
        pane.onSearch();
        spinUntil([&] {
            return pane.worldsTableView()->count() > 0 &&
                   pane.synonymsTextView()->toPlainText().contains(QLatin1String("NOUN"));
        });
    }
}

void offline_dog_raw(benchmark::State &state) {
    if (!prepareWordNet()) {
        state.SkipWithError("wordnet-base is not installed");
        return;
    }
    WNWorldNet worldNet(QVPackageFolders::dictionaryFolder());
    for (auto _ : state) {
        bool words = false;
        bool entry = false;
        worldNet.autocompleteForWord(
            QStringLiteral("dog"), QStringLiteral("en"), [&](const QStringList &) { words = true; },
            [&](const platform::Error &) { words = true; }, 30);
        worldNet.lexicForWord(
            QStringLiteral("dog"), QStringLiteral("en"), [&](const QString &) { entry = true; },
            [&](const platform::Error &) { entry = true; });
        spinUntil([&] { return words && entry; });
    }
}

// A folder of links to Debian's WordNet files; the last data file empty when broken.
QString wordNetCopy(const QString &name, bool broken) {
    if (!g_home)
        g_home = std::make_unique<QTemporaryDir>();
    const QDir folder(g_home->filePath(name));
    QDir().mkpath(folder.path());
    const QDir source(QStringLiteral("/usr/share/wordnet"));
    for (const QString &file : source.entryList({"index.*", "data.*", "*.exc"}, QDir::Files))
        QFile::link(source.filePath(file), folder.filePath(file));
    if (broken) {
        QFile::remove(folder.filePath(QStringLiteral("data.adv")));
        QFile empty(folder.filePath(QStringLiteral("data.adv")));
        empty.open(QIODevice::WriteOnly);
    }
    return folder.path();
}

void open_broken(benchmark::State &state) {
    const QString folder = wordNetCopy(QStringLiteral("broken"), true);
    // The first open finds it broken; what each later one costs is measured.
    QVWordNetDatabase::open(folder);
    for (auto _ : state)
        benchmark::DoNotOptimize(QVWordNetDatabase::open(folder));
}

void open_loaded(benchmark::State &state) {
    const QString folder = wordNetCopy(QStringLiteral("loaded"), false);
    if (!QVWordNetDatabase::open(folder)) {
        state.SkipWithError("wordnet-base is not installed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(QVWordNetDatabase::open(folder));
}

void open_during_load(benchmark::State &state) {
    const QString loaded = wordNetCopy(QStringLiteral("loaded"), false);
    if (!QVWordNetDatabase::open(loaded)) {
        state.SkipWithError("wordnet-base is not installed");
        return;
    }
    double longest = 0;
    int round = 0;
    for (auto _ : state) {
        const QString other = wordNetCopy(QStringLiteral("other-%1").arg(++round), false);
        std::atomic<bool> started{false};
        std::thread load([&] {
            started = true;
            QVWordNetDatabase::open(other);
        });
        while (!started)
            std::this_thread::yield();
        // Inside the other load by now (it takes tens of milliseconds).
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QElapsedTimer held;
        held.start();
        benchmark::DoNotOptimize(QVWordNetDatabase::open(loaded));
        const double ms = double(held.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1e3);
        longest = std::max(longest, ms);
        load.join();
    }
    state.counters["held_ms"] = longest;
    state.counters["goal_ms"] = 1;
}

QVLexicalMeaning bigEntry() {
    QVariantMap parts;
    const QStringList names{"noun", "verb", "adjective", "adverb", "pronoun"};
    for (const QString &name : names) {
        QVariantList senses;
        for (int i = 0; i < 8; ++i)
            senses.append(QVariantMap{
                {"meaning",
                 QStringLiteral("sense %1 of the %2 \"an example of it\"; \"another one\"").arg(i).arg(name)},
                {"syn", QStringLiteral("dog, hound, cur, mutt%1, pooch").arg(i)}});
        parts.insert(name, senses);
    }
    return QVLexicalMeaning::initWithDictionary(
        {{"word", "dog"}, {"transcription", "dɒɡ"}, {"partsOfSpeech", parts}}, QStringLiteral("dog"));
}

void render_entry(benchmark::State &state) {
    QTextBrowser view;
    QVMLexicalMeaningRenderer renderer(&view);
    const QVLexicalMeaning entry = bigEntry();
    for (auto _ : state) {
        renderer.showLexicalMeaning(entry);
        benchmark::DoNotOptimize(view.document()->documentLayout()->documentSize());
    }
}

void render_entry_plain(benchmark::State &state) {
    QTextBrowser view;
    QVMLexicalMeaningRenderer renderer(&view);
    renderer.showLexicalMeaning(bigEntry());
    const QString text = view.toPlainText();
    for (auto _ : state) {
        view.setPlainText(text);
        benchmark::DoNotOptimize(view.document()->documentLayout()->documentSize());
    }
}

QVLexicalMeaning examplesEntry(int count) {
    QVariantList examples;
    examples.reserve(count);
    for (int i = 0; i < count; ++i)
        examples.append(
            QVariantMap{{"fromText", QStringLiteral("The dog number %1 runs home.").arg(i)},
                        {"toText", QStringLiteral("Der Hund Nummer %1 rennt nach Hause.").arg(i)}});
    return QVLexicalMeaning::initWithDictionary({{"word", "dog"}, {"examples", examples}},
                                                QStringLiteral("dog"));
}

QVariantMap exampleReply(qint64 count) {
    QVariantList examples;
    for (qint64 i = 0; i < count; ++i)
        examples.append(
            QVariantMap{{"fromText", QStringLiteral("The dog number %1 runs home.").arg(i)},
                        {"toText", QStringLiteral("Der Hund Nummer %1 rennt nach Hause.").arg(i)}});
    return {{"word", "dog"}, {"examples", examples}};
}

void entry_from_reply(benchmark::State &state) {
    const QVariantMap reply = exampleReply(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            QVLexicalMeaning::initWithDictionary(reply, QStringLiteral("dog")).isEmpty());
    state.counters["goal_ms"] = 100;
}

void entry_from_reply_main(benchmark::State &state) {
    const QVariantMap reply = exampleReply(state.range(0));
    qint64 longestNs = 0;
    QElapsedTimer held;
    for (auto _ : state) {
        bool delivered = false;
        held.start();
        QVRequestManager::lexicalMeaningFromResult(
            reply, QStringLiteral("dog"),
            [&](const QVLexicalMeaning &entry) {
                benchmark::DoNotOptimize(entry.isEmpty());
                delivered = true;
            },
            [&](const platform::Error &) { delivered = true; });
        longestNs = std::max(longestNs, held.nsecsElapsed());
        while (!delivered) {
            held.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longestNs = std::max(longestNs, held.nsecsElapsed());
        }
    }
    state.counters["stall_ms"] = double(longestNs) / 1e6;
    state.counters["goal_ms"] = 100;
}

void render_examples(benchmark::State &state) {
    QTextBrowser view;
    view.resize(360, 600);
    view.show();
    QVMLexicalMeaningRenderer renderer(&view);
    const QVLexicalMeaning entry = examplesEntry(int(state.range(0)));
    for (auto _ : state) {
        renderer.showLexicalMeaning(entry);
        benchmark::DoNotOptimize(view.document()->documentLayout()->documentSize());
    }
    state.counters["characters"] = double(view.document()->characterCount());
    state.counters["goal_ms"] = 100;
}

void render_examples_plain(benchmark::State &state) {
    QTextBrowser view;
    view.resize(360, 600);
    view.show();
    QVMLexicalMeaningRenderer renderer(&view);
    renderer.showLexicalMeaning(examplesEntry(int(state.range(0))));
    const QString text = view.toPlainText();
    for (auto _ : state) {
        view.setPlainText(text);
        benchmark::DoNotOptimize(view.document()->documentLayout()->documentSize());
    }
}

void font_step(benchmark::State &state) {
    QTextEdit from;
    QTextEdit to;
    const QString text =
        QString(QStringLiteral("The quick brown fox jumps over the lazy dog. ")).repeated(223);
    from.setPlainText(text.left(10000));
    to.setPlainText(text.left(10000));
    from.resize(500, 400);
    to.resize(500, 400);
    from.show();
    to.show();
    double size = 12;
    for (auto _ : state) {
        size = size >= 40 ? 12 : size + 1;
        QFont font = from.font();
        font.setPointSizeF(size);
        from.setFont(font);
        to.setFont(font);
        // The whole text laid out again at the new size.
        benchmark::DoNotOptimize(from.document()->size());
        benchmark::DoNotOptimize(to.document()->size());
    }
}

} // namespace

BENCHMARK(offline_dog)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(offline_dog_raw)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(open_broken)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(open_loaded)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(open_during_load)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(render_entry)->Unit(benchmark::kMillisecond);
BENCHMARK(render_entry_plain)->Unit(benchmark::kMillisecond);
BENCHMARK(font_step)->Unit(benchmark::kMillisecond);
BENCHMARK(render_examples)->Unit(benchmark::kMillisecond)->Arg(20000)->Arg(100000);
BENCHMARK(entry_from_reply)->Unit(benchmark::kMillisecond)->Arg(20000)->Arg(100000);
BENCHMARK(entry_from_reply_main)->Unit(benchmark::kMillisecond)->Arg(20000)->Arg(100000);
BENCHMARK(render_examples_plain)->Unit(benchmark::kMillisecond)->Arg(20000)->Arg(100000);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
