#include "QVGeneralWindowController.h"

#include "QVMUtils.h"
#include "platform/Format.h"

#include <QGuiApplication>
#include <QScreen>

QVGeneralWindowController::QVGeneralWindowController(QObject *parent) : QObject(parent) {
    m_window = new QMainWindow;
    m_window->setWindowTitle(windowTitle());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        m_window->setGeometry(screen->availableGeometry());
}

QVGeneralWindowController::~QVGeneralWindowController() {
    delete m_window;
}

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
    return platform::format(QStringLiteral("Quorvalde Translator v %@"), QVMUtils::getAppVersionFromBundle());
}
