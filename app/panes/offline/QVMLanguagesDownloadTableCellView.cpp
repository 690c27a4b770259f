#include "panes/offline/QVMLanguagesDownloadTableCellView.h"

#include <QHBoxLayout>
#include <QPainter>

namespace {
constexpr int kFlag = 22;
} // namespace

QVMLanguagesDownloadTableCellView::QVMLanguagesDownloadTableCellView(QWidget *parent)
    : QWidget(parent), m_name(new QLabel(this)), m_picture(new QLabel(this)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(7, 1, 4, 1);
    layout->setSpacing(10);
    m_picture->setFixedSize(kFlag, kFlag);
    m_picture->setScaledContents(true);
    layout->addWidget(m_picture);
    layout->addWidget(m_name, 1);
}

// The circular border sits under the picture.
void QVMLanguagesDownloadTableCellView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(m_picture->geometry()).adjusted(-2.5, -2.5, 2.5, 2.5));
}
