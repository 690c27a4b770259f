#pragma once

#include "services/offline/QVRecognizedBlock.h"

#include <QImage>
#include <QList>

// Draws text lines over a picture where they stood: each line's box is
// covered in the colour around it and its text written across the box in the
// colour that stands out most from that background, as large as fits.
class QVRecognizedTextDrawing {
public:
    // A new picture; lines without text or with a box outside the picture are left out.
    static QImage drawRecognizedText(const QImage &picture, const QList<QVRecognizedBlock> &lines);

    // The average colour of the pixels just around a box (the box's own edge
    // where the picture ends); used as the line's background.
    static QColor surroundingColor(const QImage &picture, const QRect &box);

    QVRecognizedTextDrawing() = delete;
};
