#include "BFPageControl.h"

#include "BFPageControlDelegate.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"

#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cmath>

BFPageControl::BFPageControl(QWidget *parent) : QWidget(parent), m_matrix(new QWidget(this)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_matrix->setObjectName(QStringLiteral("pageControlMatrix"));
    m_matrix->hide();
}

QString BFPageControl::pageName(qint64 page, qint64 pages) {
    return platform::format(QVLocalizedString(QString::fromLatin1(kPageNameKey)), page + 1, pages);
}

void BFPageControl::setNumberOfPages(qint64 pages) {
    m_numberOfPages = std::max<qint64>(pages, 0);
    clampCurrentPage();
    updateGeometry();
    updateCurrentPageDisplay();
}

void BFPageControl::setCurrentPage(qint64 page) {
    m_currentPage = page;
    clampCurrentPage();
    updateCurrentPageDisplay();
}

void BFPageControl::clampCurrentPage() {
    m_currentPage = std::clamp<qint64>(m_currentPage, 0, std::max<qint64>(m_numberOfPages - 1, 0));
}

QColor BFPageControl::selectedColor() {
    if (!m_selectedColor.isValid())
        m_selectedColor = QColor(Qt::darkGray);
    return m_selectedColor;
}

void BFPageControl::setSelectedColor(const QColor &color) {
    m_selectedColor = color;
    updateCurrentPageDisplay();
}

QColor BFPageControl::unselectedColor() {
    if (!m_unselectedColor.isValid())
        m_unselectedColor = QColor(Qt::lightGray);
    return m_unselectedColor;
}

void BFPageControl::setUnselectedColor(const QColor &color) {
    m_unselectedColor = color;
    updateCurrentPageDisplay();
}

QColor BFPageControl::highlightColor() {
    if (!m_highlightColor.isValid())
        m_highlightColor = QColor(Qt::gray);
    return m_highlightColor;
}

void BFPageControl::setHighlightColor(const QColor &color) {
    m_highlightColor = color;
    updateCurrentPageDisplay();
}

void BFPageControl::setUseHandCursor(bool use) {
    m_useHandCursor = use;
    updateCurrentPageDisplay();
}

void BFPageControl::setDrawingBlock(DrawingBlock block) {
    m_drawingBlock = std::move(block);
    updateCurrentPageDisplay();
}

QSizeF BFPageControl::sizeForNumberOfPages(qint64 pages) const {
    if (pages <= 0)
        return {0, 0};
    return {double(pages) * m_indicatorDiameterSize + double(pages - 1) * m_indicatorMargin,
            m_indicatorDiameterSize};
}

QSize BFPageControl::sizeHint() const {
    return fittingSize().toSize();
}

void BFPageControl::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    updateCurrentPageDisplay();
}

BFPageControl::DrawingBlock BFPageControl::defaultDrawingBlock() {
    QPointer<BFPageControl> self(this);
    return [self](QPainter &painter, const QRectF &rect, QWidget *, bool selected, bool highlighted) {
        if (!self)
            return;
        const QColor fill = highlighted ? self->highlightColor()
                                        : (selected ? self->selectedColor() : self->unselectedColor());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(rect);
    };
}

void BFPageControl::updateCurrentPageDisplay() {
    const bool shows = m_numberOfPages > 0 && !(m_numberOfPages < 2 && m_hidesForSinglePage);
    m_matrix->setVisible(shows);
    if (!shows) {
        update();
        return;
    }
    // Dots are kept between updates so keyboard focus and the Tab order survive a page change.
    while (m_cells.size() > m_numberOfPages) {
        BFPageControlCell *cell = m_cells.takeLast();
        cell->hide();
        cell->deleteLater();
    }
    while (m_cells.size() < m_numberOfPages) {
        auto *cell = new BFPageControlCell(m_matrix);
        const qint64 index = m_cells.size();
        connect(cell, &QAbstractButton::clicked, this, [this, index] { clickedItem(index); });
        cell->show();
        m_cells.append(cell);
    }
    const QSizeF size = sizeForNumberOfPages(m_numberOfPages);
    const float x = std::floor((float(width()) - float(size.width())) * 0.5f);
    const float y = std::floor((float(height()) - float(size.height())) * 0.5f);
    m_matrix->setGeometry(QRectF(QPointF(x, y), size).toRect());
    const DrawingBlock block = m_drawingBlock ? m_drawingBlock : defaultDrawingBlock();
    const int diameter = int(std::lround(m_indicatorDiameterSize));
    for (qint64 i = 0; i < m_cells.size(); ++i) {
        BFPageControlCell *cell = m_cells.at(i);
        const double left = double(i) * (m_indicatorDiameterSize + m_indicatorMargin);
        cell->setGeometry(int(std::lround(left)), 0, diameter, diameter);
        cell->setDrawingBlock(block);
        cell->setUseHandCursor(m_useHandCursor);
        cell->setChecked(i == m_currentPage);
        const QString name = pageName(i, m_numberOfPages);
        cell->setAccessibleName(name);
        cell->setToolTip(name);
    }
    update();
}

void BFPageControl::clickedItem(qint64 index) {
    m_currentPage = index;
    // A click on the current dot would uncheck it; one dot is always selected.
    for (qint64 i = 0; i < m_cells.size(); ++i)
        m_cells.at(i)->setChecked(i == index);
    if (m_delegate)
        m_delegate->pageControl(this, index);
}
