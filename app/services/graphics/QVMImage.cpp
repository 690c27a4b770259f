#include "services/graphics/QVMImage.h"

#include "services/documents/QVPdfModule.h"

#include "platform/Bundle.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

platform::Error imageError(QVMImage::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVMImage::kErrorDomain), code, description);
}

// A picture of the bundle, decoded once while its file stays the same: the window asks for
// some twice as it is built.
QImage loadResource(const QString &path, qreal devicePixelRatio = 1) {
    static QMutex mutex;
    static QHash<QString, QImage> decoded;
    const QFileInfo info(path);
    const QString key =
        QStringLiteral("%1|%2|%3").arg(path).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    {
        QMutexLocker lock(&mutex);
        if (const auto found = decoded.constFind(key); found != decoded.constEnd())
            return *found;
    }
    QImage image(path);
    image.setDevicePixelRatio(devicePixelRatio);
    if (!image.isNull()) {
        QMutexLocker lock(&mutex);
        decoded.insert(key, image);
    }
    return image;
}

constexpr double kMinimumRenderPixels = 4e6;
constexpr double kMaximumRenderPixels = 32e6;

} // namespace

QImage QVMImage::imageNamed(const QString &name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return {};
    const QString folder = QString::fromLatin1(kImagesFolder);
    const QString doubled =
        platform::Bundle::pathForResource(name + QStringLiteral("@2x"), QStringLiteral("png"), folder);
    if (!doubled.isEmpty()) {
        const QImage image = loadResource(doubled, 2);
        if (!image.isNull())
            return image;
    }
    const QString single = platform::Bundle::pathForResource(name, QStringLiteral("png"), folder);
    return single.isEmpty() ? QImage() : loadResource(single);
}

QImage QVMImage::drawPDFpath(const QImage &image, const QString &pdfPath, platform::Error *error) {
    if (error)
        *error = {};
    const int w = image.width();
    const int h = image.height();
    QImage result(std::max(w, 0), std::max(h, 0), QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return result;
    result.fill(Qt::transparent);
    QPainter painter(&result);
    QImage source = image;
    source.setDevicePixelRatio(1);
    painter.drawImage(QRect(0, 0, w, h), source);

    const std::unique_ptr<QVPdfDocument> document = QVPdfModule::open(pdfPath);
    if (!document || document->pageCount() < 1) {
        if (error)
            *error = imageError(UnreadablePdf, QStringLiteral("The PDF could not be read"));
        return result;
    }
    const QSizeF page = document->pagePointSize(0);
    if (page.width() <= 0 || page.height() <= 0) {
        if (error)
            *error = imageError(EmptyPage, QStringLiteral("The PDF's first page has no size"));
        return result;
    }
    const qreal scale = std::max(w / page.width(), h / page.height());
    const QSizeF scaled = page * scale;
    // A page of extreme proportions would need a huge bitmap at full scale; it is
    // rendered within a budget and stretched, which only blurs what is cut anyway.
    const double area = scaled.width() * scaled.height();
    const double budget = std::clamp(4.0 * w * h, kMinimumRenderPixels, kMaximumRenderPixels);
    const double reduction = area > budget ? std::sqrt(budget / area) : 1.0;
    const QSize renderSize(std::max(1, int(std::ceil(scaled.width() * reduction))),
                           std::max(1, int(std::ceil(scaled.height() * reduction))));
    const QImage rendered = document->render(0, renderSize);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The page's lower left corner on the picture's; what overflows upwards or to the right is cut.
    painter.drawImage(QRectF(0, h - scaled.height(), scaled.width(), scaled.height()), rendered);
    painter.end();
    return result;
}
