#pragma once

#include "BFPageControlCell.h"

#include <QColor>
#include <QList>
#include <QSizeF>
#include <QWidget>

class BFPageControlDelegate;

// A row of dots, one per page, centred in the control; the current page's dot
// is filled in selectedColor. Clicking a dot (or Space on a focused dot) makes
// it current and tells the delegate; setting currentPage in code tells nobody.
// Each dot is a button named "Page 3 of 5" that Tab reaches.
//
//   auto *dots = new BFPageControl(pane);
//   dots->setNumberOfPages(5);
//   dots->setDelegate(this);              // pageControl(control, index) on a click
//   dots->setCurrentPage(2);              // shows the third dot selected
//   dots->setSelectedColor(Qt::blue);     // redraws at once
//   dots->setIndicatorMargin(8);          // takes effect at the next update
//   dots->updateCurrentPageDisplay();
//
// Zero pages (or one, with hidesForSinglePage) show nothing; currentPage is
// always kept within the pages there are. Main thread only.
class BFPageControl : public QWidget {
    Q_OBJECT
public:
    using DrawingBlock = BFPageControlCell::DrawingBlock;

    explicit BFPageControl(QWidget *parent = nullptr);

    qint64 numberOfPages() const { return m_numberOfPages; }
    void setNumberOfPages(qint64 pages);
    qint64 currentPage() const { return m_currentPage; }
    void setCurrentPage(qint64 page);

    // These three only store; the dots change at the next update.
    bool hidesForSinglePage() const { return m_hidesForSinglePage; }
    void setHidesForSinglePage(bool hides) { m_hidesForSinglePage = hides; }
    double indicatorDiameterSize() const { return m_indicatorDiameterSize; }
    void setIndicatorDiameterSize(double diameter) { m_indicatorDiameterSize = diameter; }
    double indicatorMargin() const { return m_indicatorMargin; }
    void setIndicatorMargin(double margin) { m_indicatorMargin = margin; }

    // Unset colours are made on first read (dark grey, light grey, grey) and kept.
    QColor selectedColor();
    void setSelectedColor(const QColor &color);
    QColor unselectedColor();
    void setUnselectedColor(const QColor &color);
    QColor highlightColor();
    void setHighlightColor(const QColor &color);

    bool useHandCursor() const { return m_useHandCursor; }
    void setUseHandCursor(bool use);
    // Custom drawing of every dot; none restores the filled circle.
    void setDrawingBlock(DrawingBlock block);

    BFPageControlDelegate *delegate() const { return m_delegate; }
    // Not owned: the delegate outlives the control or clears itself.
    void setDelegate(BFPageControlDelegate *delegate) { m_delegate = delegate; }

    // Rebuilds the dots from the current values.
    void updateCurrentPageDisplay();

    // N dots and N - 1 margins across, one dot down; nothing for no pages.
    QSizeF sizeForNumberOfPages(qint64 pages) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    QSizeF fittingSize() const { return sizeForNumberOfPages(m_numberOfPages); }

    // "Page 3 of 5", the accessible name and tooltip of each dot.
    static QString pageName(qint64 page, qint64 pages);
    static constexpr const char *kPageNameKey = "_loc_page_control_page";

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void clickedItem(qint64 index);
    DrawingBlock defaultDrawingBlock();
    void clampCurrentPage();

    qint64 m_numberOfPages = 0;
    qint64 m_currentPage = 0;
    bool m_hidesForSinglePage = false;
    double m_indicatorDiameterSize = 10.0;
    double m_indicatorMargin = 5.0;
    QColor m_selectedColor, m_unselectedColor, m_highlightColor;
    bool m_useHandCursor = false;
    DrawingBlock m_drawingBlock;
    BFPageControlDelegate *m_delegate = nullptr;
    QWidget *m_matrix;
    QList<BFPageControlCell *> m_cells;
};
