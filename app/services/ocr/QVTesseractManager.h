#pragma once

#include "services/ocr/QVRecognitionOperation.h"

#include "platform/Error.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Offline text recognition: each picture is one QVRecognitionOperation on the
// manager's own thread pool; several may run at once.
//
//   auto operation = manager.recognizeImage(picture, language.tesseractLanguageCode(),
//       [](const QList<QVRecognizedBlock> &lines) { ... },      // main thread
//       [](const platform::Error &error) { ... },                 // main thread
//       [](double progress) { bar->setValue(progress * 100); });  // main thread, optional
//   operation->cancel();   // the failure block then gets a Cancelled error
//
// Exactly one of success and failure runs per request, on the main thread,
// after recognizeImage has returned. Failure gets: no error for a null picture
// or a picture without a readable line; QVRecognitionOperation's errors for
// missing language data, an engine failure or a cancel.
class QVTesseractManager {
public:
    using Success = std::function<void(const QList<QVRecognizedBlock> &lines)>;
    using Failure = std::function<void(const platform::Error &error)>;
    using Progress = std::function<void(double progress)>;

    static QVTesseractManager &sharedInstance();

    // dataPath: the folder of the "<code>.traineddata" files; empty means the
    // OCR package folder (Caches/LanguagePacks/tesseract/tessdata), read at each request.
    explicit QVTesseractManager(QString dataPath = {});
    // Cancels what is queued or running and waits for it; the blocks still run, as cancels.
    ~QVTesseractManager();
    QVTesseractManager(const QVTesseractManager &) = delete;
    QVTesseractManager &operator=(const QVTesseractManager &) = delete;

    QString dataPath() const;

    // Queues one recognition and returns its operation (null for a null picture).
    std::shared_ptr<QVRecognitionOperation> recognizeImage(const QImage &image, const QString &language,
                                                           Success success, Failure failure,
                                                           Progress progress = {});
    void cancelAllOperations();
    // Blocks until nothing queued is left (tests and tools; never on a pool thread).
    void waitUntilAllOperationsAreFinished();

private:
    void forget(const QVRecognitionOperation *operation);

    const QString m_dataPath;
    QThreadPool m_pool;
    mutable std::mutex m_mutex;
    std::vector<std::weak_ptr<QVRecognitionOperation>> m_operations;
};
