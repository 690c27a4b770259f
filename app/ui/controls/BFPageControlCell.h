#pragma once

#include <QAbstractButton>
#include <QRectF>

#include <functional>

class QPainter;

// One dot of a BFPageControl: a checkable button that draws itself only
// through its drawing block (no block, nothing drawn). The block gets the
// painter, the dot's rectangle, the widget it draws in, whether the dot is
// the current page and whether it is pressed.
class BFPageControlCell : public QAbstractButton {
    Q_OBJECT
public:
    using DrawingBlock = std::function<void(QPainter &painter, const QRectF &rect, QWidget *view,
                                            bool selected, bool highlighted)>;

    explicit BFPageControlCell(QWidget *parent = nullptr);

    DrawingBlock drawingBlock() const { return m_drawingBlock; }
    void setDrawingBlock(DrawingBlock block);
    bool useHandCursor() const { return m_useHandCursor; }
    // The pointing hand over the dot; otherwise the cursor of the widget below.
    void setUseHandCursor(bool use);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    DrawingBlock m_drawingBlock;
    bool m_useHandCursor = false;
};
