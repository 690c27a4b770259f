#include "panes/offline/QVMOptionsTableCellView.h"

#include "core/localization/QVLocalizedString.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

QVMOptionsTableCellView::QVMOptionsTableCellView(QWidget *parent)
    : QWidget(parent), m_opennmt(makeIcon(QStringLiteral("_loc_text_translation"), QChar('T'))),
      m_tesseract(makeIcon(QStringLiteral("_loc_image_translation"), QChar('I'))),
      m_wordnet(makeIcon(QStringLiteral("_loc_dictionary"), QChar('D'))) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(4);
    layout->addWidget(m_opennmt);
    layout->addWidget(m_tesseract);
    layout->addWidget(m_wordnet);
    layout->addStretch();
    redraw();
    showTypes({});
}

QLabel *QVMOptionsTableCellView::makeIcon(const QString &key, QChar glyph) {
    auto *label = new QLabel(this);
    const QString kind = QVLocalizedString(key);
    label->setToolTip(kind);
    label->setAccessibleName(kind);
    label->setProperty("glyph", QString(glyph));
    label->setFixedSize(20, 20);
    return label;
}

void QVMOptionsTableCellView::showTypes(const QList<uint> &types) {
    m_opennmt->hide();
    m_tesseract->hide();
    m_wordnet->hide();
    for (uint type : types) {
        if (type == 2)
            m_opennmt->show();
        else if (type == 4)
            m_tesseract->show();
        else if (type == 5)
            m_wordnet->show();
    }
}

void QVMOptionsTableCellView::changeEvent(QEvent *event) {
    if (event->type() == QEvent::PaletteChange)
        redraw();
    QWidget::changeEvent(event);
}

// A rounded badge with the kind's letter: the list's text and background
// colours swapped, so it reads as well as the list in either appearance.
void QVMOptionsTableCellView::redraw() {
    for (QLabel *label : {m_opennmt, m_tesseract, m_wordnet}) {
        QPixmap pixmap(label->size() * 2);
        pixmap.setDevicePixelRatio(2);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Text));
        painter.drawRoundedRect(QRectF(0, 0, 20, 20), 5, 5);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(12);
        painter.setFont(font);
        painter.setPen(palette().color(QPalette::Base));
        painter.drawText(QRectF(0, 0, 20, 20), Qt::AlignCenter, label->property("glyph").toString());
        painter.end();
        label->setPixmap(pixmap);
    }
}
