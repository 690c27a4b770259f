#pragma once

#include "core/models/QVLanguageRealm.h"
#include "services/offline/QVRecognizedBlock.h"

#include "platform/Error.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QVMSynaptraService;
class QVTesseractManager;

// Translates the text in a picture with the settings record's main pair, or the
// pair set with setLanguages. The photo window makes one service per picture:
//
//   auto service = std::make_shared<QVPhotoService>();
//   service->translatePhoto(picture, QSize(1024, 1024), true,
//       [](const QImage &scaled) { showWhileWorking(scaled); },
//       [](double progress) { bar->setValue(progress * 100); },           // online: 0.5, then 1.0
//       [](const QImage &result, const QString &source, const QString &translation) { ... },
//       [](const platform::Error &error) { ... });                        // error may be null
//   service->cancel();    // the window's cancel button: failure gets a cancellation error
//
// The picture is scaled to fit the size (both sides), then translated online
// when the network is reachable (the backend recognises it and returns a PDF
// overlay, drawn over the picture) or offline (recognition here, the offline
// engine, the translated lines drawn over their boxes). normalized runs once
// before any network or recognition work; then exactly one of success and
// failure; every block on the main thread, after translatePhoto has returned.
// Blocks still run when the caller has dropped the service.
class QVPhotoService {
public:
    using NormalizedBlock = std::function<void(const QImage &picture)>;
    using ProgressBlock = std::function<void(double progress)>;
    using SuccessBlock = std::function<void(const QImage &picture, const QString &recognizedText,
                                            const QString &translatedText)>;
    using FailureBlock = std::function<void(const platform::Error &error)>;

    static constexpr int kJpegQuality = 100;
    static constexpr const char *kFileSizeFormat = "File size is : %.2f MB";
    static constexpr const char *kResultFolder = "photo";
    static constexpr double kUploadAnsweredProgress = 0.5;
    static constexpr double kDownloadEndedProgress = 1.0;
    static constexpr const char *kErrorDomain = "QVPhotoService";
    enum ErrorCode { Cancelled = -999 };

    QVPhotoService();
    // With the offline bridge and recogniser to use (tests); the others use the shared bridge and a
    // recogniser of their own.
    QVPhotoService(QVMSynaptraService *offlineTranslateService,
                   std::shared_ptr<QVTesseractManager> tesseractManager);
    ~QVPhotoService();
    QVPhotoService(const QVPhotoService &) = delete;
    QVPhotoService &operator=(const QVPhotoService &) = delete;

    void translatePhoto(const QImage &picture, QSize size, bool saveToHistory, NormalizedBlock normalized,
                        ProgressBlock progress, SuccessBlock success, FailureBlock failure);
    void translatePhoto(const QImage &picture, QSize size, bool saveToHistory, NormalizedBlock normalized,
                        SuccessBlock success, FailureBlock failure);
    // The two paths on a picture as it is.
    void translateImageOnline(const QImage &picture, ProgressBlock progress, SuccessBlock success,
                              FailureBlock failure);
    void translateImageOnline(const QImage &picture, SuccessBlock success, FailureBlock failure);
    void translateImageOffline(const QImage &picture, SuccessBlock success, FailureBlock failure);

    // The language of the picture's text and the one to translate it into, for the requests that
    // follow; until then (or with null languages) the settings record's pair.
    void setLanguages(const QVLanguageRealm &from, const QVLanguageRealm &to);

    // Ends this service's request (upload, download or recognition) with a
    // cancellation failure; other services' requests go on.
    void cancel();

    // What the last request left behind.
    bool saveToHistory() const;
    QImage processImage() const;
    QString recognizeText() const;
    QString translatedText() const;
    QList<QVRecognizedBlock> recognizedArray() const;
    QList<QVRecognizedBlock> translatedRecognizedArray() const;

    // The picture scaled so that both sides fit the size (never enlarged);
    // a size with a side of 0 or less gives the null picture.
    static QImage scaledImageFromImage(const QImage &picture, QSize size);
    static QImage imageResize(const QImage &picture, QSize size);
    // JPEG at quality 100; empty when the picture cannot be encoded.
    static QByteArray dataPreProcessingImage(const QImage &picture);
    // The lines' texts, each trimmed, one per line.
    static QString joinedText(const QList<QVRecognizedBlock> &lines);

private:
    struct Request;
    struct State;
    std::shared_ptr<Request> begin(SuccessBlock success, FailureBlock failure, ProgressBlock progress);
    // The paths work on the request alone, so they finish after the service is gone.
    static void online(const std::shared_ptr<Request> &request, const QImage &picture);
    static void offline(const std::shared_ptr<Request> &request, const QImage &picture);

    std::shared_ptr<State> m_state;
};
