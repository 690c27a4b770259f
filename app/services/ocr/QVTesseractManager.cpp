#include "services/ocr/QVTesseractManager.h"

#include "core/models/QVPackageFolders.h"

#include "platform/MainQueue.h"

#include <algorithm>
#include <atomic>

QVTesseractManager &QVTesseractManager::sharedInstance() {
    static QVTesseractManager *manager = new QVTesseractManager();
    return *manager;
}

QVTesseractManager::QVTesseractManager(QString dataPath) : m_dataPath(std::move(dataPath)) {}

QVTesseractManager::~QVTesseractManager() {
    cancelAllOperations();
    m_pool.waitForDone();
}

QString QVTesseractManager::dataPath() const {
    return m_dataPath.isEmpty()
               ? QVPackageFolders::unpackFolderForType(QString::fromLatin1(QVPackageFolders::kOcrType))
               : m_dataPath;
}

std::shared_ptr<QVRecognitionOperation> QVTesseractManager::recognizeImage(const QImage &image,
                                                                           const QString &language,
                                                                           Success success, Failure failure,
                                                                           Progress progress) {
    if (image.isNull()) {
        platform::dispatchAsyncMain([failure = std::move(failure)] {
            if (failure)
                failure(platform::Error());
        });
        return {};
    }

    auto operation = std::make_shared<QVRecognitionOperation>(language, dataPath());
    operation->setImage(image);
    if (progress) {
        // Only whole-percent changes cross to the main thread.
        auto lastPercent = std::make_shared<std::atomic<int>>(-1);
        operation->setProgressCallbackBlock([progress, lastPercent](double fraction) {
            const int percent = qRound(fraction * 100);
            if (lastPercent->exchange(percent) == percent)
                return;
            platform::dispatchAsyncMain([progress, fraction] { progress(fraction); });
        });
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_operations.push_back(operation);
    }

    m_pool.start([this, operation, success = std::move(success), failure = std::move(failure)]() mutable {
        operation->main();
        forget(operation.get());
        platform::dispatchAsyncMain([operation, success = std::move(success), failure = std::move(failure)] {
            const platform::Error error = operation->error();
            const QList<QVRecognizedBlock> lines = operation->recognizedBlocks();
            if (error || lines.isEmpty()) {
                if (failure)
                    failure(error);
            } else if (success) {
                success(lines);
            }
        });
    });
    return operation;
}

void QVTesseractManager::forget(const QVRecognitionOperation *operation) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_operations.erase(std::remove_if(m_operations.begin(), m_operations.end(),
                                      [operation](const std::weak_ptr<QVRecognitionOperation> &held) {
                                          const auto alive = held.lock();
                                          return !alive || alive.get() == operation;
                                      }),
                       m_operations.end());
}

void QVTesseractManager::cancelAllOperations() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &held : m_operations) {
        if (const auto operation = held.lock())
            operation->cancel();
    }
}

void QVTesseractManager::waitUntilAllOperationsAreFinished() {
    m_pool.waitForDone();
}
