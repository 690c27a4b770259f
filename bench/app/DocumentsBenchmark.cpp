// What saving a translation costs, each beside Qt writing the same document
// as HTML in the same run, so a busy machine slows both sides alike.
//
//   rtf_1mb      RTF of a 1 MB result with bold and coloured runs; goal 200 ms
//   pdf_100      a paginated PDF of a 100-page result; goal 2 s
//   html_1mb     Qt's own HTML of the same 1 MB result (the comparison)
#include "ui/panels/QVMResultWriter.h"
#include "ui/panels/QVMRtfWriter.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// About `bytes` of text in lines of 80 characters, every tenth word bold and blue.
std::unique_ptr<QTextDocument> result(int bytes) {
    auto document = std::make_unique<QTextDocument>();
    QTextCursor cursor(document.get());
    QTextCharFormat plain;
    QTextCharFormat marked;
    marked.setFontWeight(QFont::Bold);
    marked.setForeground(QColor(0, 0, 200));
    int written = 0;
    for (int word = 0; written < bytes; ++word) {
        const QString text = (word % 12 == 11) ? QStringLiteral("Grüße\n") : QStringLiteral("Übersetzung ");
        cursor.insertText(text, word % 10 == 0 ? marked : plain);
        written += int(text.size());
    }
    return document;
}

void rtf_1mb(benchmark::State &state) {
    const auto document = result(1024 * 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(QVMRtfWriter::rtfFromDocument(*document));
    state.counters["goal_ms"] = 200;
}

void html_1mb(benchmark::State &state) {
    const auto document = result(1024 * 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(document->toHtml());
}

void pdf_100(benchmark::State &state) {
    // About 45 lines of 80 characters fill an A4 page.
    const auto document = result(100 * 45 * 80);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("result.pdf"));
    for (auto _ : state) {
        const platform::Error error = QVMResultWriter::writePdf(*document, path);
        if (!error.isNull())
            state.SkipWithError("the PDF could not be written");
    }
    state.counters["goal_ms"] = 2000;
}

} // namespace

BENCHMARK(rtf_1mb)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(html_1mb)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(pdf_100)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
