#include "panes/offline/QVMActionDownloadTableCellView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

QVMActionDownloadTableCellView::QVMActionDownloadTableCellView(QWidget *parent)
    : QWidget(parent), m_actionButton(new QPushButton(tr("Download"), this)),
      m_deleteButton(new QPushButton(tr("Delete"), this)), m_closeButton(new QPushButton(this)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->addWidget(m_actionButton);
    layout->addWidget(m_deleteButton);
    layout->addWidget(m_closeButton);
    m_actionButton->setToolTip(tr("Download the offline package"));
    m_actionButton->setAccessibleName(tr("Download"));
    m_deleteButton->setToolTip(tr("Delete the offline package"));
    m_deleteButton->setAccessibleName(tr("Delete"));
    m_closeButton->setToolTip(tr("Close"));
    m_closeButton->setAccessibleName(tr("Close"));
    m_closeButton->hide();
    setToolTip(tr("Downloading; click to cancel"));
    setFocusPolicy(Qt::NoFocus);
    setIndicatorStatus(NotDownloaded);
}

void QVMActionDownloadTableCellView::setLanguageName(const QString &name) {
    m_language = name;
    m_actionButton->setAccessibleName(tr("Download %1").arg(name));
    m_deleteButton->setAccessibleName(tr("Delete %1").arg(name));
    updateRingName();
}

void QVMActionDownloadTableCellView::setIndicatorStatus(uint status) {
    m_status = status;
    m_closeButton->hide();
    if (status > Installed)
        return;
    const bool ring = status == Downloading || status == Unpacking;
    m_actionButton->setVisible(status == NotDownloaded);
    m_deleteButton->setVisible(status == Installed);
    // The ring is painted; the cell takes focus only while it is the control.
    setFocusPolicy(ring ? Qt::StrongFocus : Qt::NoFocus);
    if (status == Unpacking)
        createTimer();
    if (status == Installed)
        stopTimer();
    updateRingName();
    update();
}

void QVMActionDownloadTableCellView::setProgress(float progress, bool) {
    m_progress = qBound(0.0, double(progress), 1.0);
    updateRingName();
    update();
}

void QVMActionDownloadTableCellView::createTimer() {
    stopTimer();
    m_progressValue = 0.0f;
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &QVMActionDownloadTableCellView::newProgressValue);
    m_timer->start();
}

void QVMActionDownloadTableCellView::newProgressValue() {
    if (m_status == Unpacking) {
        setProgress(m_progressValue + 1.0f);
        return;
    }
    // A tick in another state ends the timer and forgets it; it is the
    // sender, so it goes once its signal has returned.
    if (m_timer) {
        m_timer->stop();
        m_timer->setParent(nullptr);
        m_timer->deleteLater();
    }
    m_timer = nullptr;
}

void QVMActionDownloadTableCellView::stopTimer() {
    delete m_timer;
    m_timer = nullptr;
}

void QVMActionDownloadTableCellView::runTap() {
    if (m_status == Downloading && m_tap)
        m_tap(this, m_status);
}

void QVMActionDownloadTableCellView::mousePressEvent(QMouseEvent *event) {
    runTap();
    event->accept(); // never reaches the list
}

void QVMActionDownloadTableCellView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        runTap();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QVMActionDownloadTableCellView::updateRingName() {
    if (m_status == Downloading)
        setAccessibleName(tr("Downloading %1, %2 %").arg(m_language).arg(qRound(m_progress * 100)));
    else if (m_status == Unpacking)
        setAccessibleName(tr("Installing %1").arg(m_language));
    else
        setAccessibleName(m_language);
}

void QVMActionDownloadTableCellView::paintEvent(QPaintEvent *) {
    if (m_status != Downloading && m_status != Unpacking)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(width(), height()) - 6;
    const QRectF ring(QPointF((width() - side) / 2.0, (height() - side) / 2.0), QSizeF(side, side));
    const QPalette &pal = palette();
    painter.setPen(QPen(pal.color(QPalette::Mid), 3));
    painter.drawEllipse(ring);
    painter.setPen(QPen(pal.color(QPalette::Highlight), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, 90 * 16, -int(m_progress * 360 * 16));
    if (m_status == Downloading) {
        // The stop square says a click cancels.
        const qreal s = side / 4.0;
        painter.fillRect(QRectF(ring.center() - QPointF(s / 2, s / 2), QSizeF(s, s)),
                         pal.color(QPalette::WindowText));
    }
    if (hasFocus()) {
        painter.setPen(QPen(pal.color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
