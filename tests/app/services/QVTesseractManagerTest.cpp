#include "PictureFixtures.h"

#include "services/ocr/QVTesseractManager.h"

#include "support/EventLoop.h"

#include "platform/MainQueue.h"

#include <atomic>

namespace {

// Every block call of one request, with the thread it came on.
struct Outcome {
    int successes = 0;
    int failures = 0;
    bool offMainThread = false;
    QList<QVRecognizedBlock> lines;
    platform::Error error;
    QList<double> progress;

    int calls() const { return successes + failures; }
};

std::shared_ptr<QVRecognitionOperation> recognize(QVTesseractManager &manager, const QImage &image,
                                                  const QString &language, Outcome &outcome,
                                                  bool withProgress = false) {
    QVTesseractManager::Progress progress;
    if (withProgress)
        progress = [&outcome](double fraction) {
            outcome.offMainThread |= !platform::isMainThread();
            outcome.progress.append(fraction);
        };
    return manager.recognizeImage(
        image, language,
        [&outcome](const QList<QVRecognizedBlock> &lines) {
            outcome.offMainThread |= !platform::isMainThread();
            ++outcome.successes;
            outcome.lines = lines;
        },
        [&outcome](const platform::Error &error) {
            outcome.offMainThread |= !platform::isMainThread();
            ++outcome.failures;
            outcome.error = error;
        },
        progress);
}

void finish(QVTesseractManager &manager, Outcome &outcome) {
    manager.waitUntilAllOperationsAreFinished();
    ASSERT_TRUE(qvtest::waitUntil([&] { return outcome.calls() > 0; }, 30000));
    qvtest::spin(50); // a second call would arrive now
}

QString trimmed(const QString &text) {
    return text.trimmed();
}

} // namespace

class TesseractManagerTest : public qvtest::OcrDataTest {};

TEST_F(TesseractManagerTest, ReadsRenderedLinesInOrderWithTheirBoxes) {
    const QStringList written = {QStringLiteral("Quick brown foxes jump"),
                                 QStringLiteral("over seven lazy dogs")};
    const qvtest::TextPicture picture = qvtest::renderTextLines(written);
    QVTesseractManager manager;
    Outcome outcome;
    recognize(manager, picture.image, QStringLiteral("eng"), outcome, true);
    finish(manager, outcome);

    ASSERT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
    EXPECT_EQ(outcome.failures, 0);
    EXPECT_FALSE(outcome.offMainThread);
    ASSERT_EQ(outcome.lines.size(), 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QVRecognizedBlock &line = outcome.lines[i];
        EXPECT_EQ(trimmed(line.text), written[i]);
        EXPECT_TRUE(line.text.endsWith(QLatin1Char('\n'))) << "the engine's text is kept as given";
        EXPECT_EQ(line.level, QVRecognitionOperation::kTextLineLevel);
        EXPECT_GT(line.confidence, 70.f);
        EXPECT_LE(line.confidence, 100.f);
        // The box lies around the drawn line, in picture pixels.
        EXPECT_TRUE(QRectF(picture.lineRects[i]).adjusted(-6, -6, 6, 6).contains(line.boundingBox))
            << line.boundingBox.x() << "," << line.boundingBox.y() << " " << line.boundingBox.width() << "x"
            << line.boundingBox.height();
        EXPECT_GT(line.boundingBox.width(), picture.lineRects[i].width() * 0.8);
    }
    // Progress arrives on the main thread, never goes back and ends at 1.
    ASSERT_FALSE(outcome.progress.isEmpty());
    EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
    EXPECT_DOUBLE_EQ(outcome.progress.last(), 1.0);
}

TEST_F(TesseractManagerTest, TransparentPicturesAreReadAsTextOnWhite) {
    // Text over a transparent background (a PDF overlay, a cut-out) must not turn into black on black.
    const qvtest::TextPicture picture =
        qvtest::renderTextLines({QStringLiteral("Transparent background")}, QSize(700, 140), Qt::transparent);
    QVTesseractManager manager;
    Outcome outcome;
    recognize(manager, picture.image, QStringLiteral("eng"), outcome);
    finish(manager, outcome);
    ASSERT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
    ASSERT_EQ(outcome.lines.size(), 1);
    EXPECT_EQ(trimmed(outcome.lines[0].text), QStringLiteral("Transparent background"));
}

TEST_F(TesseractManagerTest, EachFailureCallsFailureOnceOnTheMainThread) {
    QImage blank(400, 200, QImage::Format_RGB32);
    blank.fill(Qt::white);
    const QImage text = qvtest::renderTextLines({QStringLiteral("Some words")}, QSize(500, 140)).image;
    struct Case {
        const char *name;
        QImage image;
        QString language;
        qint64 code; // 0: no error object
    };
    const QList<Case> cases = {
        {"null picture", QImage(), QStringLiteral("eng"), 0},
        {"picture without text", blank, QStringLiteral("eng"), 0},
        {"language without data", text, QStringLiteral("deu"), QVRecognitionOperation::LanguageDataMissing},
        {"one part of a combination without data", text, QStringLiteral("eng+deu"),
         QVRecognitionOperation::LanguageDataMissing},
        {"two-letter code instead of the data name", text, QStringLiteral("en"),
         QVRecognitionOperation::LanguageDataMissing},
        {"code escaping the data folder", text, QStringLiteral("../tessdata/eng"),
         QVRecognitionOperation::LanguageDataMissing},
        {"empty code", text, QString(), QVRecognitionOperation::LanguageDataMissing},
    };
    QVTesseractManager manager;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome;
        recognize(manager, c.image, c.language, outcome);
        EXPECT_EQ(outcome.calls(), 0) << "no block runs before the call returns";
        finish(manager, outcome);
        EXPECT_EQ(outcome.successes, 0);
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_FALSE(outcome.offMainThread);
        if (c.code == 0) {
            EXPECT_TRUE(outcome.error.isNull());
        } else {
            EXPECT_EQ(outcome.error.domain(), QString::fromLatin1(QVRecognitionOperation::kErrorDomain));
            EXPECT_EQ(outcome.error.code(), c.code);
        }
    }
}

TEST_F(TesseractManagerTest, CancelEndsEveryRequestWithOneCancelledFailure) {
    // A long page, so the recognitions are still queued or running when cancelled.
    QStringList many;
    for (int i = 0; i < 14; ++i)
        many << QStringLiteral("Line number %1 of a long page to read").arg(i);
    const QImage page = qvtest::renderTextLines(many, QSize(900, 1400)).image;

    QVTesseractManager manager;
    Outcome byHandle, byManager;
    const auto operation = recognize(manager, page, QStringLiteral("eng"), byHandle);
    ASSERT_TRUE(operation);
    operation->cancel();
    recognize(manager, page, QStringLiteral("eng"), byManager);
    manager.cancelAllOperations();
    finish(manager, byHandle);
    finish(manager, byManager);
    for (const Outcome *outcome : {&byHandle, &byManager}) {
        EXPECT_EQ(outcome->successes, 0);
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error.code(), QVRecognitionOperation::Cancelled);
    }
}

TEST_F(TesseractManagerTest, CancelDuringRecognitionStopsTheEngine) {
    QStringList many;
    for (int i = 0; i < 14; ++i)
        many << QStringLiteral("Line number %1 of a long page to read").arg(i);
    QVRecognitionOperation operation(QStringLiteral("eng"), tessdata);
    operation.setImage(qvtest::renderTextLines(many, QSize(900, 1400)).image);
    std::atomic<int> reports{0};
    // Cancelled from the engine's own thread at its first progress report.
    operation.setProgressCallbackBlock([&](double) {
        ++reports;
        operation.cancel();
    });
    operation.main();
    EXPECT_GE(reports.load(), 1);
    EXPECT_TRUE(operation.isFinished());
    EXPECT_EQ(operation.error().code(), QVRecognitionOperation::Cancelled);
    EXPECT_TRUE(operation.recognizedBlocks().isEmpty());
    EXPECT_LT(operation.progress(), 1.0);
}

TEST(RecognitionOperationTest, KeepsOnlyLinesWithVisibleCharactersUnchanged) {
    auto line = [](const char *text) {
        QVRecognizedBlock block;
        block.text = QString::fromUtf8(text);
        block.boundingBox = QRectF(1, 2, 3, 4);
        block.confidence = 88.f;
        block.level = 2;
        return block;
    };
    const QList<QVRecognizedBlock> lines = {line("  \n"), line(" a b \n"), line(""),
                                            line("\n\n"), line("\t"),      line("x")};
    const QList<QVRecognizedBlock> kept = QVRecognitionOperation::visibleLines(lines);
    ASSERT_EQ(kept.size(), 3);
    EXPECT_EQ(kept[0].text, QStringLiteral(" a b \n"));
    EXPECT_EQ(kept[0].boundingBox, QRectF(1, 2, 3, 4));
    EXPECT_FLOAT_EQ(kept[0].confidence, 88.f);
    EXPECT_EQ(kept[1].text, QStringLiteral("\t")); // only spaces and line breaks count as empty
    EXPECT_EQ(kept[2].text, QStringLiteral("x"));
}
