#include "PictureFixtures.h"

#include "services/ocr/QVTesseractManager.h"
#include "services/photo/QVRecognizedTextDrawing.h"

#include "support/EventLoop.h"

namespace {

QVRecognizedBlock block(const QString &text, const QRectF &box) {
    QVRecognizedBlock line;
    line.text = text;
    line.boundingBox = box;
    line.level = QVRecognitionOperation::kTextLineLevel;
    return line;
}

QStringList recognise(const QImage &picture, const QString &tessdata) {
    QVTesseractManager manager(tessdata);
    QStringList texts;
    bool done = false;
    manager.recognizeImage(
        picture, QStringLiteral("eng"),
        [&](const QList<QVRecognizedBlock> &lines) {
            for (const QVRecognizedBlock &line : lines)
                texts.append(line.text.trimmed());
            done = true;
        },
        [&](const platform::Error &) { done = true; });
    EXPECT_TRUE(qvtest::waitUntil([&] { return done; }, 30000));
    return texts;
}

int distance(const QColor &a, const QColor &b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

} // namespace

class RecognizedTextDrawingTest : public qvtest::OcrDataTest {};

TEST_F(RecognizedTextDrawingTest, TranslatedLinesReplaceTheOriginalsWhereTheyStood) {
    struct Case {
        const char *name;
        QColor background;
        QColor expectedText;
        qreal devicePixelRatio; // boxes are in pixels whatever the picture's density
    };
    const QList<Case> cases = {
        {"light background, dark text", QColor(200, 225, 255), Qt::black, 1},
        {"dark background, light text", QColor(20, 40, 90), Qt::white, 1},
        {"double-density picture", QColor(200, 225, 255), Qt::black, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::TextPicture picture =
            qvtest::renderTextLines({QStringLiteral("Good morning friends")}, QSize(800, 160), c.background);
        picture.image.setDevicePixelRatio(c.devicePixelRatio);
        const QRect box = picture.lineRects.first();
        const QImage drawn = QVRecognizedTextDrawing::drawRecognizedText(
            picture.image, {block(QStringLiteral("Guten Morgen\n"), box)});
        ASSERT_EQ(drawn.size(), picture.image.size());
        EXPECT_EQ(recognise(drawn, tessdata), QStringList{"Guten Morgen"});
        // The box is covered in the colour around it; the text stands out from it.
        EXPECT_LT(distance(drawn.pixelColor(box.right() - 2, box.top() + 2), c.background), 12);
        int textPixels = 0;
        for (int x = box.left(); x <= box.right(); ++x) {
            for (int y = box.top(); y <= box.bottom(); ++y)
                textPixels += distance(drawn.pixelColor(x, y), c.expectedText) < 60;
        }
        EXPECT_GT(textPixels, 200);
        // Outside the box the picture is untouched.
        EXPECT_EQ(drawn.pixelColor(5, 5), picture.image.pixelColor(5, 5));
    }
}

TEST_F(RecognizedTextDrawingTest, LinesWithoutTextOrOutsideThePictureAreLeftOut) {
    const qvtest::TextPicture picture =
        qvtest::renderTextLines({QStringLiteral("Keep this")}, QSize(500, 140));
    const QImage drawn = QVRecognizedTextDrawing::drawRecognizedText(
        picture.image, {block(QStringLiteral(" \n"), picture.lineRects.first()),
                        block(QStringLiteral("Elsewhere"), QRectF(900, 900, 50, 20)),
                        block(QStringLiteral("Nowhere"), QRectF())});
    EXPECT_EQ(drawn.convertToFormat(QImage::Format_ARGB32),
              picture.image.convertToFormat(QImage::Format_ARGB32));
    EXPECT_TRUE(
        QVRecognizedTextDrawing::drawRecognizedText(QImage(), {block("x", QRectF(0, 0, 5, 5))}).isNull());
}

TEST(RecognizedTextDrawingEdgeTest, NothingOfTheOriginalShowsAroundATightBox) {
    // Round and soft letter edges reach past the box a recogniser gives; a box tighter than the ink
    // by one and by two pixels must still leave none of the old line around the new one.
    const qvtest::TextPicture picture =
        qvtest::renderTextLines({QStringLiteral("HELLO WORLD")}, QSize(640, 160));
    QRect ink;
    for (int y = 0; y < picture.image.height(); ++y) {
        for (int x = 0; x < picture.image.width(); ++x) {
            if (distance(picture.image.pixelColor(x, y), Qt::white) > 30)
                ink |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty());
    for (const int tighter : {1, 2}) {
        SCOPED_TRACE(tighter);
        const QRect box = ink.adjusted(tighter, tighter, -tighter, -tighter);
        const QImage drawn =
            QVRecognizedTextDrawing::drawRecognizedText(picture.image, {block(QStringLiteral("HALLO"), box)});
        int leftOver = 0;
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            for (int x = ink.left(); x <= ink.right(); ++x) {
                if (!box.contains(x, y) && distance(drawn.pixelColor(x, y), Qt::white) > 30)
                    ++leftOver;
            }
        }
        EXPECT_EQ(leftOver, 0);
    }
}

TEST(RecognizedTextDrawingColorTest, SurroundingColourIsTheAverageAroundTheBox) {
    QImage picture(100, 60, QImage::Format_ARGB32);
    picture.fill(QColor(10, 200, 30));
    // Inside the box: something else entirely, which must not count.
    for (int x = 20; x < 60; ++x)
        for (int y = 20; y < 40; ++y)
            picture.setPixelColor(x, y, Qt::black);
    EXPECT_EQ(QVRecognizedTextDrawing::surroundingColor(picture, QRect(20, 20, 40, 20)), QColor(10, 200, 30));
    // A box at the picture's corner reads the ring that is left.
    EXPECT_EQ(QVRecognizedTextDrawing::surroundingColor(picture, QRect(-10, -10, 15, 15)),
              QColor(10, 200, 30));
    EXPECT_EQ(QVRecognizedTextDrawing::surroundingColor(picture, QRect(200, 200, 5, 5)), QColor(Qt::white));
}
