#include "ui/controls/QVMProgressHUD.h"

#include "services/graphics/QVMImage.h"

#include <QFontMetricsF>

namespace {

constexpr qreal kNarrowLabel = 128;
constexpr qreal kAboveCentre = 40;

} // namespace

QVMProgressHUD::QVMProgressHUD(QWidget *view) : QVMProgressOverlay(view), m_button(new QPushButton(this)) {
    const QImage close = QVMImage::imageNamed(QString::fromLatin1(kCloseImageName));
    const QSize side = close.isNull() ? QSize(48, 48) : close.deviceIndependentSize().toSize();
    m_button->setFlat(true);
    m_button->setIcon(QIcon(QPixmap::fromImage(close)));
    m_button->setIconSize(side);
    m_button->setFixedSize(side);
    m_button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setAccessibleName(tr("Cancel"));
    m_button->setToolTip(tr("Stop the work in progress"));
    // The icon sits on the bezel, which is dark in either appearance.
    QPalette onBezel = m_button->palette();
    onBezel.setColor(QPalette::Button, Qt::black);
    onBezel.setColor(QPalette::ButtonText, Qt::white);
    m_button->setPalette(onBezel);
    // Reading order: the button comes right after the view it covers, not at the end of the window.
    QWidget::setTabOrder(view, m_button);
    connect(m_button, &QPushButton::clicked, this, &QVMProgressHUD::buttonHandler);
    setMargin(kMargin);
    setOffset(QPointF(0, 0));
}

QVMProgressHUD *QVMProgressHUD::showHUDAddedTo(QWidget *view) {
    return static_cast<QVMProgressHUD *>(attach(new QVMProgressHUD(view)));
}

void QVMProgressHUD::buttonHandler() {
    if (m_buttonAction)
        m_buttonAction();
}

void QVMProgressHUD::layoutOverlay() {
    if (!m_button)
        return;
    const qreal labelWidth = QFontMetricsF(labelFont()).horizontalAdvance(labelText());
    const bool narrow = labelWidth < kNarrowLabel;
    const qreal half = narrow ? 64 : labelWidth / 2;
    const qreal inset = narrow ? 20 : 16;
    const QSizeF button = m_button->size();
    const qreal x = margin() + half - inset + (width() - button.width()) / 2;
    // Above the centre line: the label's box ends about there.
    const qreal y = (height() - button.height()) / 2 - kAboveCentre;
    m_button->move(qRound(x), qRound(y));
}
