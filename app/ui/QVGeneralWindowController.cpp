#include "QVGeneralWindowController.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

QVGeneralWindowController::QVGeneralWindowController(QObject *parent) : QObject(parent) {
    m_window = new QMainWindow;
    m_window->setWindowTitle(windowTitle());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        m_window->setGeometry(screen->availableGeometry());
}

QVGeneralWindowController::~QVGeneralWindowController() { delete m_window; }

void QVGeneralWindowController::showWindow() {
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void QVGeneralWindowController::close() {
    if (m_window)
        m_window->close();
}

QString QVGeneralWindowController::windowTitle() {
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(QV_SHORT_VERSION);
    return QStringLiteral("Quorvalde Translator v %1").arg(version);
}
