#include "services/ocr/QVRecognitionOperation.h"

#include "core/DevLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <memory>

#include <omp.h>

namespace {

// Pictures without a usable resolution are taken as screen pictures; the
// engine's own fallback (70 dpi) reads small rendered text worse.
constexpr int kDefaultDpi = 96;
constexpr int kMinDpi = 70;
constexpr int kMaxDpi = 2400;

int dotsPerInch(const QImage &image) {
    const int dpi = qRound(image.dotsPerMeterX() * 0.0254);
    return dpi >= kMinDpi && dpi <= kMaxDpi ? dpi : kDefaultDpi;
}

// Transparent parts become white (text over a transparent background reads as
// text on paper), and the engine gets tightly typed RGB rows.
QImage preparedPicture(const QImage &image) {
    QImage flat(image.size(), QImage::Format_RGB888);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

struct ApiDeleter {
    void operator()(tesseract::TessBaseAPI *api) const {
        api->End();
        delete api;
    }
};

} // namespace

// The engine's monitor calls back through plain function pointers carrying the operation.
struct QVRecognitionMonitor {
    static bool shouldCancel(void *operation, int /*words*/) {
        return static_cast<QVRecognitionOperation *>(operation)->isCancelled();
    }
    static bool progressed(tesseract::ETEXT_DESC *monitor, int, int, int, int) {
        static_cast<QVRecognitionOperation *>(monitor->cancel_this)->reportProgress(monitor->progress);
        return true;
    }
};

QVRecognitionOperation::QVRecognitionOperation(QString language, QString dataPath)
    : m_language(std::move(language)), m_dataPath(std::move(dataPath)) {}

void QVRecognitionOperation::setImage(const QImage &image) {
    m_image = image;
}

void QVRecognitionOperation::setProgressCallbackBlock(ProgressBlock block) {
    m_progressBlock = std::move(block);
}

void QVRecognitionOperation::cancel() {
    m_cancelled.store(true);
}

QList<QVRecognizedBlock> QVRecognitionOperation::recognizedBlocks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

platform::Error QVRecognitionOperation::error() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

platform::Error QVRecognitionOperation::errorWithCode(ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(kErrorDomain), code, description);
}

bool QVRecognitionOperation::hasLanguageData(const QString &language, const QString &dataPath) {
    if (language.isEmpty() || dataPath.isEmpty())
        return false;
    for (const QString &part : language.split(QLatin1Char('+'))) {
        if (part.isEmpty() || part.contains(QLatin1Char('/')) || part.contains(QLatin1Char('\\')) ||
            part.startsWith(QLatin1Char('.')))
            return false;
        if (!QFileInfo(QDir(dataPath).filePath(part + QStringLiteral(".traineddata"))).isFile())
            return false;
    }
    return true;
}

QList<QVRecognizedBlock> QVRecognitionOperation::visibleLines(const QList<QVRecognizedBlock> &lines) {
    QList<QVRecognizedBlock> kept;
    for (const QVRecognizedBlock &line : lines) {
        QString visible = line.text;
        visible.remove(QLatin1Char(' ')).remove(QLatin1Char('\n'));
        if (!visible.isEmpty())
            kept.append(line);
    }
    return kept;
}

void QVRecognitionOperation::reportProgress(int percent) {
    const double fraction = qBound(0, percent, 100) / 100.0;
    m_progress.store(fraction);
    if (m_progressBlock)
        m_progressBlock(fraction);
}

void QVRecognitionOperation::main() {
    if (m_started.exchange(true))
        return;
    QList<QVRecognizedBlock> lines;
    platform::Error error;
    if (isCancelled())
        error = errorWithCode(Cancelled, QStringLiteral("The recognition was cancelled"));
    else
        error = recognize(lines);
    finish(visibleLines(lines), error);
}

void QVRecognitionOperation::finish(QList<QVRecognizedBlock> lines, platform::Error error) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines = std::move(lines);
        m_error = std::move(error);
    }
    m_finished.store(true);
}

platform::Error QVRecognitionOperation::recognize(QList<QVRecognizedBlock> &lines) {
    if (m_image.isNull() || m_image.width() <= 0 || m_image.height() <= 0)
        return errorWithCode(UnreadablePicture, QStringLiteral("The picture is empty"));
    if (!hasLanguageData(m_language, m_dataPath))
        return errorWithCode(
            LanguageDataMissing,
            QStringLiteral("No recognition data for \"%1\" in %2").arg(m_language, m_dataPath));

    // The engine's parallel loops would otherwise start a spinning worker per core for
    // each recognition: on a busy machine a picture then takes seconds instead of a
    // fraction of one. Dynamic teams shrink with the load; plain loops run on this thread.
    omp_set_dynamic(1);
    omp_set_num_threads(1);
    // The data hold LSTM models only; the legacy engine would refuse to start.
    std::unique_ptr<tesseract::TessBaseAPI, ApiDeleter> api(new tesseract::TessBaseAPI);
    const QByteArray path = QFile::encodeName(QDir::cleanPath(m_dataPath));
    const QByteArray language = m_language.toUtf8();
    if (api->Init(path.constData(), language.constData(), tesseract::OEM_DEFAULT) != 0)
        return errorWithCode(EngineFailed,
                             QStringLiteral("The recognizer could not load \"%1\"").arg(m_language));
    // Automatic segmentation finds and reads the lines; layout-only modes read nothing.
    api->SetPageSegMode(tesseract::PSM_AUTO);

    const QImage picture = preparedPicture(m_image);
    api->SetImage(picture.constBits(), picture.width(), picture.height(), 3,
                  static_cast<int>(picture.bytesPerLine()));
    api->SetSourceResolution(dotsPerInch(m_image));

    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &QVRecognitionMonitor::shouldCancel;
    monitor.cancel_this = this;
    monitor.progress_callback2 = &QVRecognitionMonitor::progressed;
    const int status = api->Recognize(&monitor);
    if (isCancelled())
        return errorWithCode(Cancelled, QStringLiteral("The recognition was cancelled"));
    if (status != 0)
        return errorWithCode(EngineFailed, QStringLiteral("The recognizer failed (%1)").arg(status));
    reportProgress(100);

    std::unique_ptr<tesseract::ResultIterator> iterator(api->GetIterator());
    if (!iterator || iterator->Empty(static_cast<tesseract::PageIteratorLevel>(kTextLineLevel)))
        return {};
    const auto level = static_cast<tesseract::PageIteratorLevel>(kTextLineLevel);
    do {
        const std::unique_ptr<char[]> text(iterator->GetUTF8Text(level));
        if (!text)
            continue;
        int left = 0, top = 0, right = 0, bottom = 0;
        iterator->BoundingBox(level, &left, &top, &right, &bottom);
        QVRecognizedBlock line;
        line.text = QString::fromUtf8(text.get());
        line.boundingBox = QRectF(left, top, right - left, bottom - top);
        line.confidence = iterator->Confidence(level);
        line.level = kTextLineLevel;
        lines.append(line);
    } while (iterator->Next(level));
    DevLog(QStringLiteral("[ocr] %ld lines recognised"), static_cast<long>(lines.size()));
    return {};
}
