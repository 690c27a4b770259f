#include "services/graphics/QVMImage.h"
#include "UiTestSupport.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A PDF page of the size in points; the painter draws on it in points from the top left.
QString writePdf(const QTemporaryDir &dir, const QString &name, const QSizeF &points,
                 const std::function<void(QPainter &)> &draw) {
    const QString path = dir.filePath(name);
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(points, QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter painter(&writer);
    draw(painter);
    return path;
}

} // namespace

TEST(QVMImageDrawPDF, PageCoversThePictureFromTheLowerLeftAndShowsItThroughTransparency) {
    QTemporaryDir dir;
    // A 100 x 100 point page: a red square in its top left quarter, blue in its bottom right, the rest
    // transparent.
    const QString pdf =
        writePdf(dir, QStringLiteral("quarters.pdf"), QSizeF(100, 100), [](QPainter &painter) {
            painter.fillRect(QRectF(0, 0, 50, 50), Qt::red);
            painter.fillRect(QRectF(50, 50, 50, 50), Qt::blue);
        });
    // A 200 x 100 picture: the larger ratio is 2, so the page becomes 200 x 200 and its
    // bottom half lands on the picture; the red quarter overflows at the top and is cut.
    const QImage picture = uitest::solidImage(200, 100, Qt::green);
    platform::Error error;
    const QImage drawn = QVMImage::drawPDFpath(picture, pdf, &error);
    EXPECT_FALSE(error);
    ASSERT_EQ(drawn.size(), QSize(200, 100));
    const struct {
        QPoint point;
        QColor colour;
    } cases[] = {
        {{150, 50}, Qt::blue}, // the page's bottom right quarter
        {{50, 50}, Qt::green}, // transparent part of the page: the picture shows
        {{190, 5}, Qt::blue},
        {{10, 95}, Qt::green},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1,%2").arg(c.point.x()).arg(c.point.y()).toStdString());
        EXPECT_EQ(drawn.pixelColor(c.point).rgb(), c.colour.rgb());
    }
    EXPECT_EQ(uitest::countPixels(drawn, drawn.rect(), Qt::red), 0);
    EXPECT_EQ(picture.pixelColor(150, 50), QColor(Qt::green)); // the picture itself is untouched
}

TEST(QVMImageDrawPDF, AnExtremePageRendersOnlyWhatLandsOnThePicture) {
    QTemporaryDir dir;
    // 2 x 2000 points: the larger ratio scales it to 100 x 100000 pixels, of which 100 x 50 are kept.
    const QString pdf = writePdf(dir, QStringLiteral("strip.pdf"), QSizeF(2, 2000), [](QPainter &painter) {
        painter.fillRect(QRectF(0, 1999.5, 2, 0.5), Qt::blue); // the bottom half point: 25 pixels
    });
    const QImage drawn = QVMImage::drawPDFpath(uitest::solidImage(100, 50, Qt::white), pdf);
    ASSERT_EQ(drawn.size(), QSize(100, 50));
    EXPECT_EQ(drawn.pixelColor(50, 0).rgb(), QColor(Qt::white).rgb());
    EXPECT_EQ(drawn.pixelColor(50, 49).rgb(), QColor(Qt::blue).rgb());
}

TEST(QVMImageDrawPDF, UnreadableFileGivesThePictureAndAnError) {
    QTemporaryDir dir;
    const QString garbage = dir.filePath(QStringLiteral("broken.pdf"));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4 this is not a document");
    file.close();
    for (const QString &path : {garbage, dir.filePath(QStringLiteral("missing.pdf"))}) {
        SCOPED_TRACE(path.toStdString());
        platform::Error error;
        const QImage drawn = QVMImage::drawPDFpath(uitest::solidImage(30, 20, Qt::yellow), path, &error);
        EXPECT_EQ(error.domain(), QString::fromLatin1(QVMImage::kErrorDomain));
        EXPECT_EQ(error.code(), QVMImage::UnreadablePdf);
        ASSERT_EQ(drawn.size(), QSize(30, 20));
        EXPECT_EQ(drawn.pixelColor(15, 10).rgb(), QColor(Qt::yellow).rgb());
    }
    EXPECT_TRUE(QVMImage::drawPDFpath(QImage(), garbage).isNull());
}

TEST(QVMImageNamed, FindsTheDoubleDensityPictureFirstAndRefusesPaths) {
    uitest::ScopedImageResources resources;
    resources.add(QStringLiteral("flag.png"), uitest::solidImage(10, 10, Qt::red));
    resources.add(QStringLiteral("flag@2x.png"), uitest::solidImage(20, 20, Qt::blue));
    resources.add(QStringLiteral("plain.png"), uitest::solidImage(8, 4, Qt::green));

    const QImage flag = QVMImage::imageNamed(QStringLiteral("flag"));
    EXPECT_EQ(flag.size(), QSize(20, 20));
    EXPECT_EQ(flag.devicePixelRatio(), 2.0);
    EXPECT_EQ(flag.pixelColor(1, 1), QColor(Qt::blue));
    const QImage plain = QVMImage::imageNamed(QStringLiteral("plain"));
    EXPECT_EQ(plain.size(), QSize(8, 4));
    EXPECT_EQ(plain.devicePixelRatio(), 1.0);
    for (const char *name : {"", "missing", "../images/flag", "images/flag", ".hidden"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(QVMImage::imageNamed(QString::fromLatin1(name)).isNull());
    }
}

TEST(QVMImageNamed, APictureIsDecodedOnceWhileItsFileStaysTheSame) {
    uitest::ScopedImageResources resources;
    resources.add(QStringLiteral("mark@2x.png"), uitest::solidImage(20, 20, Qt::red));
    const QImage first = QVMImage::imageNamed(QStringLiteral("mark"));
    EXPECT_EQ(QVMImage::imageNamed(QStringLiteral("mark")).cacheKey(), first.cacheKey());
    resources.add(QStringLiteral("mark@2x.png"), uitest::solidImage(30, 30, Qt::blue));
    const QImage replaced = QVMImage::imageNamed(QStringLiteral("mark"));
    EXPECT_EQ(replaced.size(), QSize(30, 30));
    EXPECT_EQ(replaced.pixelColor(1, 1), QColor(Qt::blue));
    EXPECT_EQ(replaced.devicePixelRatio(), 2.0);
}

TEST(QVMImageNamed, TheShippedCloseButtonPictureExists) {
    const QImage close = QVMImage::imageNamed(QStringLiteral("ic_close_48pt_white"));
    ASSERT_FALSE(close.isNull());
    EXPECT_EQ(close.deviceIndependentSize().toSize(), QSize(48, 48));
    EXPECT_GT(uitest::countPixels(close, close.rect(), Qt::white, 40), 0);
}
