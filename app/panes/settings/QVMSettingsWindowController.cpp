#include "QVMSettingsWindowController.h"

#include "QVMSettingsController.h"

#include "ui/controls/WAYWindow.h"

#include <QAbstractButton>
#include <QShortcut>

QVMSettingsWindowController::QVMSettingsWindowController(QObject *parent) : QObject(parent) {}

QVMSettingsWindowController::~QVMSettingsWindowController() {
    delete m_window;
}

void QVMSettingsWindowController::setTabToOpen(qint64 tab) {
    m_tabToOpen = tab;
}

QWidget *QVMSettingsWindowController::window() {
    if (!m_window)
        windowDidLoad();
    return m_window;
}

void QVMSettingsWindowController::windowDidLoad() {
    m_content = new QVMSettingsController(this);
    m_window = new WAYWindow;
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->setBackgroundRole(QPalette::Base);
    m_window->setMinimumSize(560, 420);
    m_window->resize(640, 520 - int(kTitleBarHeight));
    m_window->setTitleBarHeight(kTitleBarHeight);
    m_content->setTabToOpen(m_tabToOpen);
    m_window->setContentView(m_content->view());
    m_window->setWindowTitle(m_content->objectName());
    m_window->setAccessibleName(m_content->objectName());
    for (const QKeySequence &sequence : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close),
                                         QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *shortcut = new QShortcut(sequence, m_window);
        connect(shortcut, &QShortcut::activated, this, &QVMSettingsWindowController::close);
    }
    m_openedTab = QVMSettingsController::normalizedTab(m_tabToOpen);
    connect(m_window, &QObject::destroyed, this, [this] { m_openedTab = -1; });
}

void QVMSettingsWindowController::showWindow() {
    QWidget *shown = window();
    const bool opening = !shown->isVisible();
    shown->show();
    shown->raise();
    shown->activateWindow();
    // The title bar's close button comes first in the chain: a window opening with the focus
    // there would close on the first Space. The selected tab's button takes it.
    if (opening && m_content)
        if (QAbstractButton *tab = m_content->tabButtons().value(m_content->selectedTab()))
            tab->setFocus(Qt::ActiveWindowFocusReason);
}

void QVMSettingsWindowController::selectTab(qint64 tab) {
    window();
    const int index = QVMSettingsController::normalizedTab(tab);
    // The opener selects the tab it opened on; that tab already sent its event.
    if (index == m_openedTab && m_content->selectedTab() == index) {
        m_openedTab = -1;
        return;
    }
    m_openedTab = -1;
    m_content->selectTab(index);
}

void QVMSettingsWindowController::close() {
    if (m_window && m_window->isVisible())
        m_window->close();
    deleteLater();
}
