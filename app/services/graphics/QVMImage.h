#pragma once

#include "platform/Error.h"

#include <QImage>
#include <QString>

// Pictures: the application's own images and a PDF page drawn over a picture.
//
//   QImage close = QVMImage::imageNamed("ic_close_48pt_white");
//   QImage translated = QVMImage::drawPDFpath(photo, downloadedPdfPath, &error);
class QVMImage {
public:
    // The application image "<name>.png" from the resources' "images" folder,
    // the double-density "<name>@2x.png" first; null when there is none.
    static QImage imageNamed(const QString &name);

    // A new picture the size of `image` (in pixels): the picture, then the first
    // page of the PDF over it, scaled by the larger of the width and height
    // ratios so the page covers it all, its lower left corner at the picture's
    // lower left corner (what overflows is cut). The page's transparent parts
    // let the picture show through. An unreadable PDF gives a copy of the
    // picture and *error. Any thread.
    static QImage drawPDFpath(const QImage &image, const QString &pdfPath, platform::Error *error = nullptr);

    static constexpr const char *kErrorDomain = "QVMImage";
    enum ErrorCode { UnreadablePdf = 1, EmptyPage = 2 };
    static constexpr const char *kImagesFolder = "images";

    QVMImage() = delete;
};
