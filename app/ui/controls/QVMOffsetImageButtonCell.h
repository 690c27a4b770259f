#pragma once

#include <QRect>
#include <QToolButton>

// A tool button whose picture sits 3 px lower and is 4 px shorter than the
// space the style gives it, so a glyph with a baseline lines up with text.
class QVMOffsetImageButtonCell : public QToolButton {
    Q_OBJECT
public:
    explicit QVMOffsetImageButtonCell(QWidget *parent = nullptr);

    // The rectangle the picture is drawn in for the frame the style offered.
    static QRect imageRectForFrame(const QRect &frame);

protected:
    void paintEvent(QPaintEvent *event) override;
};
