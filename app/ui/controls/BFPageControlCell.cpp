#include "BFPageControlCell.h"

#include <QPainter>
#include <QPen>

BFPageControlCell::BFPageControlCell(QWidget *parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
}

void BFPageControlCell::setDrawingBlock(DrawingBlock block) {
    m_drawingBlock = std::move(block);
    update();
}

void BFPageControlCell::setUseHandCursor(bool use) {
    m_useHandCursor = use;
    if (use)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void BFPageControlCell::paintEvent(QPaintEvent *) {
    if (!m_drawingBlock)
        return;
    QPainter painter(this);
    painter.save();
    m_drawingBlock(painter, QRectF(rect()), this, isChecked(), isDown());
    painter.restore();
    if (hasFocus()) {
        // Keyboard users need to see which dot Space would choose.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75));
    }
}
