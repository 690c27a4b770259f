#pragma once

#include <QList>
#include <QRectF>
#include <QString>

// One stretch of text recognised in a picture: its text, where it stands in
// the picture, how sure the recogniser was (0 to 100) and its level (block,
// paragraph, line or word, as the recogniser counts them).
struct QVRecognizedBlock {
    QString text;
    QRectF boundingBox;
    float confidence = 0;
    int level = 0;
};
