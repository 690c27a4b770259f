#include "QVMStatusItemWindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

QVMStatusItemWindow::QVMStatusItemWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(1, 1, 1, 1);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
    setAcceptDrops(true);
    setAccessibleName(QStringLiteral("Quorvalde Translator"));
}

void QVMStatusItemWindow::setContentView(QWidget *view) {
    if (view == m_content)
        return;
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        m_content->setParent(nullptr);
    }
    m_content = view;
    if (view) {
        view->setParent(this);
        m_layout->addWidget(view);
        if (isVisible())
            view->show();
    }
}

bool QVMStatusItemWindow::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate) {
        m_wasActive = true;
    } else if (event->type() == QEvent::WindowDeactivate && m_wasActive) {
        m_wasActive = false;
        emit didResignKey();
    }
    return QWidget::event(event);
}

void QVMStatusItemWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QVMStatusItemWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (m_dropHandler && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void QVMStatusItemWindow::dropEvent(QDropEvent *event) {
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    if (paths.isEmpty() || !m_dropHandler)
        return;
    event->acceptProposedAction();
    m_dropHandler(paths);
}

void QVMStatusItemWindow::hideEvent(QHideEvent *event) {
    m_wasActive = false;
    if (!event->spontaneous())
        emit willClose();
    QWidget::hideEvent(event);
}

void QVMStatusItemWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    emit resized();
}

// A frame line so the borderless window stands apart from what lies under it.
void QVMStatusItemWindow::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
