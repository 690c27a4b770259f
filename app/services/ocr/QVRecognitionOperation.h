#pragma once

#include "services/offline/QVRecognizedBlock.h"

#include "platform/Error.h"

#include <QImage>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

// One recognition of one picture by Tesseract: made for a language code
// ("eng", "eng+deu") and the folder holding "<code>.traineddata", run once by
// main() on a worker thread. cancel() may come from any thread; the engine sees
// it at its next cancel question and main() then ends with a Cancelled error.
//
//   QVRecognitionOperation operation(QStringLiteral("eng"), tessdataFolder);
//   operation.setImage(picture);
//   operation.main();                       // blocks
//   if (operation.error()) ...; else use(operation.recognizedBlocks());
class QVRecognitionOperation {
public:
    static constexpr const char *kErrorDomain = "QVRecognitionOperation";
    enum ErrorCode {
        LanguageDataMissing = 1, // no "<code>.traineddata" in the folder, or a code that names no file
        EngineFailed = 2,        // the engine refused to start or to recognise
        Cancelled = 3,
        UnreadablePicture = 4, // a null or empty picture
    };
    // The result level read: text lines (tesseract::RIL_TEXTLINE).
    static constexpr int kTextLineLevel = 2;

    // Called on the recognising thread with the fraction done, 0 to 1.
    using ProgressBlock = std::function<void(double progress)>;

    QVRecognitionOperation(QString language, QString dataPath);
    QVRecognitionOperation(const QVRecognitionOperation &) = delete;
    QVRecognitionOperation &operator=(const QVRecognitionOperation &) = delete;

    QString language() const { return m_language; }
    QString dataPath() const { return m_dataPath; }

    void setImage(const QImage &image);
    void setProgressCallbackBlock(ProgressBlock block);

    // Recognises the picture; runs once, later calls do nothing.
    void main();
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    bool isFinished() const { return m_finished.load(); }
    double progress() const { return m_progress.load(); }

    // After main(): the lines with visible characters, in reading order, each
    // with its text as the engine gave it (line break included), its box in
    // picture pixels, its confidence (0 to 100) and kTextLineLevel.
    QList<QVRecognizedBlock> recognizedBlocks() const;
    // After main(): null when the engine ran to its end (even with no line found).
    platform::Error error() const;

    // The lines whose text, without " " and "\n", is not empty; order and texts kept.
    static QList<QVRecognizedBlock> visibleLines(const QList<QVRecognizedBlock> &lines);
    // Whether "<dataPath>/<part>.traineddata" exists for every "+"-separated part
    // of the code; a code holding a path separator never does.
    static bool hasLanguageData(const QString &language, const QString &dataPath);
    static platform::Error errorWithCode(ErrorCode code, const QString &description);

private:
    friend struct QVRecognitionMonitor;
    void reportProgress(int percent);
    void finish(QList<QVRecognizedBlock> lines, platform::Error error);
    platform::Error recognize(QList<QVRecognizedBlock> &lines);

    const QString m_language;
    const QString m_dataPath;
    QImage m_image;
    ProgressBlock m_progressBlock;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_finished{false};
    std::atomic<double> m_progress{0.0};
    mutable std::mutex m_mutex; // guards the result
    QList<QVRecognizedBlock> m_lines;
    platform::Error m_error;
};
