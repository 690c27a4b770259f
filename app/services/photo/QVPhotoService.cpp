#include "services/photo/QVPhotoService.h"

#include "services/downloads/QVDownloadManager.h"
#include "services/network/QVRequestManager.h"
#include "services/ocr/QVTesseractManager.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/offline/QVOfflinePackagesService.h"
#include "services/photo/QVRecognizedTextDrawing.h"

#include "core/DevLog.h"
#include "core/settings/QVSettingsService.h"
#include "services/graphics/QVMImage.h"
#include "core/QVEnvironment.h"

#include "platform/MainQueue.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QThreadPool>
#include <QUuid>

#include <mutex>

namespace {

constexpr const char *kEnglish = "en";

void onWorker(std::function<void()> work) {
    QThreadPool::globalInstance()->start(std::move(work));
}

} // namespace

// What the last request left on the service, and what its requests share.
struct QVPhotoService::State {
    mutable std::mutex mutex;
    bool saveToHistory = false;
    QImage processImage;
    QString recognizeText;
    QString translatedText;
    QList<QVRecognizedBlock> recognizedArray;
    QList<QVRecognizedBlock> translatedRecognizedArray;

    QVMSynaptraService *bridge = nullptr;
    std::shared_ptr<QVTesseractManager> tesseract;
    std::weak_ptr<Request> current;
    QVLanguageRealm from;
    QVLanguageRealm to;

    // The pair of the next request: the one set, else the settings record's (whose models the
    // bridge loads with every change of the pair).
    struct Languages {
        QVLanguageRealm from;
        QVLanguageRealm to;
        bool set = false;
    };
    Languages languages() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!from.isNull() && !to.isNull())
                return {from, to, true};
        }
        const QVTranslateSettings settings = QVSettingsService::defaultSettings();
        return {settings.languageFrom(), settings.languageTo(), false};
    }

    std::shared_ptr<QVTesseractManager> tesseractManager() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!tesseract)
            tesseract = std::make_shared<QVTesseractManager>();
        return tesseract;
    }
    template <typename Change> void update(Change change) {
        std::lock_guard<std::mutex> lock(mutex);
        change(*this);
    }
};

// One translation. Everything below runs on the main thread; `finished`
// makes sure one outcome reaches the caller, whatever arrives later.
struct QVPhotoService::Request {
    std::shared_ptr<State> state;
    SuccessBlock success;
    FailureBlock failure;
    ProgressBlock progress;
    bool finished = false;

    MFURLSessionTaskPtr upload;
    quint64 download = 0;
    std::shared_ptr<QVRecognitionOperation> recognition;

    void report(double value) const {
        if (!finished && progress)
            progress(value);
    }
    void succeed(const QImage &picture, const QString &recognized, const QString &translated) {
        if (finished)
            return;
        finished = true;
        if (success)
            success(picture, recognized, translated);
    }
    void fail(const platform::Error &error) {
        if (finished)
            return;
        finished = true;
        if (failure)
            failure(error);
    }
    // Fails after the caller's call has returned.
    static void failLater(const std::shared_ptr<Request> &request, const platform::Error &error) {
        platform::dispatchAsyncMain([request, error] { request->fail(error); });
    }
};

QVPhotoService::QVPhotoService() : QVPhotoService(&QVMSynaptraService::sharedInstance(), nullptr) {}

QVPhotoService::QVPhotoService(QVMSynaptraService *offlineTranslateService,
                               std::shared_ptr<QVTesseractManager> tesseractManager)
    : m_state(std::make_shared<State>()) {
    m_state->bridge = offlineTranslateService;
    m_state->tesseract = std::move(tesseractManager);
}

// Requests hold the state themselves and finish without the service.
QVPhotoService::~QVPhotoService() = default;

bool QVPhotoService::saveToHistory() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->saveToHistory;
}
QImage QVPhotoService::processImage() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->processImage;
}
QString QVPhotoService::recognizeText() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->recognizeText;
}
QString QVPhotoService::translatedText() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->translatedText;
}
QList<QVRecognizedBlock> QVPhotoService::recognizedArray() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->recognizedArray;
}
QList<QVRecognizedBlock> QVPhotoService::translatedRecognizedArray() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->translatedRecognizedArray;
}

QImage QVPhotoService::scaledImageFromImage(const QImage &picture, QSize size) {
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    if (QRect(QPoint(), size).contains(QRect(QPoint(), picture.size())))
        return picture;
    return imageResize(picture, size);
}

QImage QVPhotoService::imageResize(const QImage &picture, QSize size) {
    if (picture.isNull() || size.width() <= 0 || size.height() <= 0)
        return picture;
    // The smaller ratio, so that both sides fit.
    const double ratio =
        std::min(double(size.width()) / picture.width(), double(size.height()) / picture.height());
    if (ratio >= 1.0)
        return picture;
    const QSize scaled(std::max(1, qRound(picture.width() * ratio)),
                       std::max(1, qRound(picture.height() * ratio)));
    return picture.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray QVPhotoService::dataPreProcessingImage(const QImage &picture) {
    if (picture.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    // JPEG has no transparency: transparent parts become white, not black.
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        // Pixel for pixel: a double-density picture would otherwise be drawn at half size.
        QImage source = picture;
        source.setDevicePixelRatio(1);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, source);
    }
    if (!opaque.save(&buffer, "JPG", kJpegQuality))
        return {};
    DevLog(QString::fromLatin1(kFileSizeFormat), data.size() / 1024.0 / 1024.0);
    return data;
}

QString QVPhotoService::joinedText(const QList<QVRecognizedBlock> &lines) {
    QStringList texts;
    for (const QVRecognizedBlock &line : lines)
        texts.append(line.text.trimmed());
    return texts.join(QLatin1Char('\n'));
}

std::shared_ptr<QVPhotoService::Request> QVPhotoService::begin(SuccessBlock success, FailureBlock failure,
                                                               ProgressBlock progress) {
    auto request = std::make_shared<Request>();
    request->state = m_state;
    request->success = std::move(success);
    request->failure = std::move(failure);
    request->progress = std::move(progress);
    m_state->update([&](State &state) { state.current = request; });
    return request;
}

void QVPhotoService::translatePhoto(const QImage &picture, QSize size, bool saveToHistory,
                                    NormalizedBlock normalized, ProgressBlock progress, SuccessBlock success,
                                    FailureBlock failure) {
    m_state->update([&](State &state) { state.saveToHistory = saveToHistory; });
    const auto request = begin(std::move(success), std::move(failure), std::move(progress));
    // Scaling a large photo takes a while: not on the interface thread.
    onWorker([picture, size, request, normalized = std::move(normalized)] {
        const QImage scaled = scaledImageFromImage(picture, size);
        platform::dispatchAsyncMain([scaled, request, normalized] {
            if (request->finished)
                return;
            request->state->update([&](State &state) { state.processImage = scaled.copy(); });
            if (normalized)
                normalized(scaled.copy());
            if (QVEnvironment::isNetworkAvailable())
                online(request, scaled);
            else
                offline(request, scaled);
        });
    });
}

void QVPhotoService::translatePhoto(const QImage &picture, QSize size, bool saveToHistory,
                                    NormalizedBlock normalized, SuccessBlock success, FailureBlock failure) {
    translatePhoto(picture, size, saveToHistory, std::move(normalized), {}, std::move(success),
                   std::move(failure));
}

void QVPhotoService::translateImageOnline(const QImage &picture, ProgressBlock progress, SuccessBlock success,
                                          FailureBlock failure) {
    online(begin(std::move(success), std::move(failure), std::move(progress)), picture);
}

void QVPhotoService::translateImageOnline(const QImage &picture, SuccessBlock success, FailureBlock failure) {
    translateImageOnline(picture, {}, std::move(success), std::move(failure));
}

void QVPhotoService::translateImageOffline(const QImage &picture, SuccessBlock success,
                                           FailureBlock failure) {
    offline(begin(std::move(success), std::move(failure), {}), picture);
}

void QVPhotoService::setLanguages(const QVLanguageRealm &from, const QVLanguageRealm &to) {
    m_state->update([&](State &state) {
        state.from = from;
        state.to = to;
    });
}

void QVPhotoService::cancel() {
    std::shared_ptr<Request> request;
    m_state->update([&](State &state) { request = state.current.lock(); });
    if (!request || request->finished)
        return;
    if (request->upload)
        QVRequestManager::instance().cancel(request->upload);
    if (request->download)
        QVDownloadManager::sharedManager().cancelDownload(request->download);
    if (request->recognition)
        request->recognition->cancel();
    // The bridge cannot drop one translation: its answer is ignored instead.
    Request::failLater(request, platform::Error(QString::fromLatin1(kErrorDomain), Cancelled,
                                                QStringLiteral("The picture translation was cancelled")));
}

// Online: upload the JPEG, then fetch the PDF overlay the backend made and draw it over the picture.
void QVPhotoService::online(const std::shared_ptr<Request> &request, const QImage &picture) {
    const State::Languages pair = request->state->languages();
    const QString from = pair.from.isNull() ? QString() : pair.from.localeIdentifier();
    const QString to = pair.to.isNull() ? QString() : pair.to.localeIdentifier();
    onWorker([request, picture, from, to] {
        const QByteArray data = dataPreProcessingImage(picture);
        platform::dispatchAsyncMain([request, picture, from, to, data] {
            if (request->finished)
                return;
            if (from.isEmpty() || to.isEmpty() || data.isEmpty()) {
                request->fail({});
                return;
            }
            request->upload = QVRequestManager::instance().parseImageData(
                data, from, to,
                [request, picture](const QString &pictureURL, const QString &sourceText,
                                   const QString &translatedText) {
                    request->upload.reset();
                    if (request->finished)
                        return;
                    request->report(kUploadAnsweredProgress);
                    request->state->update([&](State &state) {
                        state.recognizeText = sourceText;
                        state.translatedText = translatedText;
                    });
                    // A name of its own: two photo windows never share or overwrite a download.
                    const QString name =
                        QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".pdf");
                    const QString path =
                        QVDownloadManager::localPathForFile(name, QString::fromLatin1(kResultFolder));
                    request->download = QVDownloadManager::sharedManager().downloadFileForURL(
                        pictureURL, name, QString::fromLatin1(kResultFolder), {},
                        [request, picture, path, sourceText, translatedText](bool finished,
                                                                             const platform::Error &error) {
                            request->download = 0;
                            request->report(kDownloadEndedProgress);
                            if (!finished) {
                                QFile::remove(path);
                                request->fail(error);
                                return;
                            }
                            onWorker([request, picture, path, sourceText, translatedText] {
                                platform::Error drawError;
                                const QImage drawn = QVMImage::drawPDFpath(picture, path, &drawError);
                                QFile::remove(path);
                                platform::dispatchAsyncMain([=] {
                                    if (drawError)
                                        request->fail(drawError);
                                    else
                                        request->succeed(drawn, sourceText, translatedText);
                                });
                            });
                        },
                        true);
                },
                [request](const platform::Error &error) {
                    request->upload.reset();
                    request->fail(error);
                });
        });
    });
}

// Offline: check the packages, recognise the lines, translate them with the
// offline engine and draw them over their boxes.
void QVPhotoService::offline(const std::shared_ptr<Request> &request, const QImage &picture) {
    const State::Languages pair = request->state->languages();
    const QVLanguageRealm from = pair.from;
    const QVLanguageRealm to = pair.to;
    const bool pairSet = pair.set;
    const QString fromCode = from.languageString();
    const QString toCode = to.languageString();
    const bool sameLanguage = fromCode == toCode;

    if (const platform::Error error = QVOfflinePackagesService::checkTesseractPackageForLanguage(fromCode)) {
        Request::failLater(request, error);
        return;
    }
    // Both sides of a pair through English need their package; English needs none.
    if (!sameLanguage) {
        for (const QString &code : {fromCode, toCode}) {
            if (code == QLatin1String(kEnglish))
                continue;
            if (const platform::Error error =
                    QVOfflinePackagesService::checkOfflinePackageForLanguage(code)) {
                Request::failLater(request, error);
                return;
            }
        }
    }

    const std::shared_ptr<State> state = request->state;
    request->recognition = state->tesseractManager()->recognizeImage(
        picture, from.tesseractLanguageCode(),
        [request, picture, sameLanguage, from, to, pairSet](const QList<QVRecognizedBlock> &lines) {
            request->recognition.reset();
            if (request->finished)
                return;
            DevLog(QStringLiteral("result: %ld lines"), static_cast<long>(lines.size()));
            request->state->update([&](State &state) { state.recognizedArray = lines; });
            auto draw = [request, picture, lines](const QList<QVRecognizedBlock> &shown) {
                onWorker([request, picture, lines, shown] {
                    const QImage drawn = QVRecognizedTextDrawing::drawRecognizedText(picture, shown);
                    platform::dispatchAsyncMain([request, drawn, lines, shown] {
                        request->state->update([&](State &state) { state.processImage = drawn; });
                        request->succeed(drawn, joinedText(lines), joinedText(shown));
                    });
                });
            };
            if (sameLanguage) {
                draw(lines);
                return;
            }
            QVMSynaptraService *bridge = request->state->bridge;
            const auto shown = [request, draw](const QList<QVRecognizedBlock> &translated) {
                if (request->finished)
                    return;
                request->state->update([&](State &state) { state.translatedRecognizedArray = translated; });
                draw(translated);
            };
            const auto failed = [request](const platform::Error &error) { request->fail(error); };
            // A pair of its own may need models the settings pair did not load.
            if (pairSet)
                bridge->translateTexts(lines, from, to, shown, failed);
            else
                bridge->translateTexts(lines, shown, failed);
        },
        [request](const platform::Error &error) {
            request->recognition.reset();
            request->fail(error);
        });
}
