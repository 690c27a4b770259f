#pragma once

#include "core/models/QVPackageFolders.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qvtest {

// Debian's English recognition data (tesseract-ocr-eng).
inline QString systemEnglishTrainedData() {
    for (const char *path : {"/usr/share/tesseract-ocr/5/tessdata/eng.traineddata",
                             "/usr/share/tesseract-ocr/4.00/tessdata/eng.traineddata"}) {
        if (QFile::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    }
    return {};
}

// Links Debian's English data into a tessdata folder; false when it is not installed.
inline bool installEnglishOcrData(const QString &tessdataFolder) {
    const QString source = systemEnglishTrainedData();
    if (source.isEmpty() || !QDir().mkpath(tessdataFolder))
        return false;
    const QString target = QDir(tessdataFolder).filePath(QStringLiteral("eng.traineddata"));
    return QFile::exists(target) || QFile::link(source, target);
}

struct TextPicture {
    QImage image;
    QList<QRect> lineRects; // where each line was drawn
};

// Dark text lines on a background, one under the other, in a font the
// recogniser reads well; lineRects give each line's drawn box.
inline TextPicture renderTextLines(const QStringList &lines, QSize size = QSize(900, 300),
                                   QColor background = Qt::white,
                                   QImage::Format format = QImage::Format_ARGB32) {
    TextPicture picture;
    picture.image = QImage(size, format);
    picture.image.fill(background);
    QPainter painter(&picture.image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(34);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(font);
    int top = 40;
    for (const QString &line : lines) {
        const QRect rect(40, top, metrics.horizontalAdvance(line), metrics.height());
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, line);
        picture.lineRects.append(rect);
        top += metrics.height() * 2;
    }
    painter.end();
    return picture;
}

// A private Caches folder with Debian's English OCR data where the packages put it.
class OcrDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        platform::AppPaths::setRoot(home.path());
        tessdata = QVPackageFolders::unpackFolderForType(QStringLiteral("tesseract"));
        ASSERT_TRUE(installEnglishOcrData(tessdata)) << "tesseract-ocr-eng is not installed";
    }
    void TearDown() override { platform::AppPaths::setRoot(QString()); }

    QTemporaryDir home;
    QString tessdata;
};

} // namespace qvtest
