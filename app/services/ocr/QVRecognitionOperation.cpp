#include "services/ocr/QVRecognitionOperation.h"

#include "core/DevLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include "platform/OnDemandLibrary.h"
#include "services/ocr/QVRecognitionReader.h"

#include <algorithm>
#include <cmath>

namespace {

// Pictures without a usable resolution are taken as screen pictures; the
// engine's own fallback (70 dpi) reads small rendered text worse.
constexpr int kDefaultDpi = 96;
constexpr int kMinDpi = 70;
constexpr int kMaxDpi = 2400;
// The engine refuses a side over 32767 pixels, and its working copies of a
// picture past about 100 megapixels take gigabytes: larger pictures are read
// smaller, their boxes scaled back.
constexpr int kMaxSide = 32767;
constexpr double kMaxPixels = 100e6;

int dotsPerInch(const QImage &image) {
    const int dpi = qRound(image.dotsPerMeterX() * 0.0254);
    return dpi >= kMinDpi && dpi <= kMaxDpi ? dpi : kDefaultDpi;
}

// The factor (at most 1) that brings the picture within the engine's limits.
double engineScale(QSize size) {
    const double side = std::min(double(kMaxSide) / size.width(), double(kMaxSide) / size.height());
    const double area = std::sqrt(kMaxPixels / (double(size.width()) * size.height()));
    return std::min({1.0, side, area});
}

// Transparent parts become white (text over a transparent background reads as
// text on paper), and the engine gets tightly typed RGB rows.
QImage preparedPicture(const QImage &image, double scale) {
    const QSize size =
        scale < 1.0 ? QSize(std::max(1, int(image.width() * scale)), std::max(1, int(image.height() * scale)))
                    : image.size();
    QImage flat(size, QImage::Format_RGB888);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QImage source = image;
    source.setDevicePixelRatio(1);
    painter.drawImage(QRect(QPoint(), size), source);
    painter.end();
    return flat;
}

// The recognition library loads with the first picture, not with the program.
platform::OnDemandLibrary &recognizer() {
    static platform::OnDemandLibrary library("libqvrecognizer.so", "QV_RECOGNIZER_MODULE",
                                             QStringLiteral(QV_RECOGNIZER_MODULE_PATH));
    return library;
}

} // namespace

// The module calls back through plain function pointers carrying the operation and its lines.
struct QVRecognitionMonitor {
    QVRecognitionOperation *operation;
    QList<QVRecognizedBlock> *lines;
    double scale;

    static bool cancelled(void *context) {
        return static_cast<QVRecognitionMonitor *>(context)->operation->isCancelled();
    }
    static void progressed(void *context, int percent) {
        static_cast<QVRecognitionMonitor *>(context)->operation->reportProgress(percent);
    }
    static void line(void *context, const char *utf8, int left, int top, int right, int bottom,
                     float confidence) {
        const auto *monitor = static_cast<QVRecognitionMonitor *>(context);
        const double scale = monitor->scale;
        QVRecognizedBlock block;
        block.text = QString::fromUtf8(utf8);
        block.boundingBox = QRectF(left / scale, top / scale, (right - left) / scale, (bottom - top) / scale);
        block.confidence = confidence;
        block.level = QVRecognitionOperation::kTextLineLevel;
        monitor->lines->append(block);
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

    const auto read = reinterpret_cast<QVRecognizeLinesFunction>(recognizer().symbol(kRecognizeLinesEntry));
    if (!read)
        return errorWithCode(EngineFailed,
                             QStringLiteral("The recognizer is not available: %1").arg(recognizer().error()));

    const double scale = engineScale(m_image.size());
    const QImage picture = preparedPicture(m_image, scale);
    if (picture.isNull())
        return errorWithCode(EngineFailed, QStringLiteral("The picture is too large to read"));
    const QByteArray path = QFile::encodeName(QDir::cleanPath(m_dataPath));
    const QByteArray language = m_language.toUtf8();
    QVRecognitionMonitor monitor{this, &lines, scale};
    QVRecognitionRequest request{};
    request.pixels = picture.constBits();
    request.width = picture.width();
    request.height = picture.height();
    request.bytesPerLine = static_cast<int>(picture.bytesPerLine());
    request.dotsPerInch = std::max(kMinDpi, qRound(dotsPerInch(m_image) * scale));
    request.dataPath = path.constData();
    request.language = language.constData();
    request.level = kTextLineLevel;
    request.context = &monitor;
    request.cancelled = &QVRecognitionMonitor::cancelled;
    request.progress = &QVRecognitionMonitor::progressed;
    request.line = &QVRecognitionMonitor::line;
    int detail = 0;
    const int result = read(&request, &detail);
    if (result == QVRecognitionLanguageRefused)
        return errorWithCode(EngineFailed,
                             QStringLiteral("The recognizer could not load \"%1\"").arg(m_language));
    if (isCancelled()) {
        lines.clear();
        return errorWithCode(Cancelled, QStringLiteral("The recognition was cancelled"));
    }
    if (result != QVRecognitionDone)
        return errorWithCode(EngineFailed, QStringLiteral("The recognizer failed (%1)").arg(detail));
    DevLog(QStringLiteral("[ocr] %ld lines recognised"), static_cast<long>(lines.size()));
    return {};
}
