#include "QVMStatusItem.h"

#include "QVMStatusItemWindow.h"

#include "core/DevLog.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

QVMStatusItem &QVMStatusItem::sharedInstance() {
    static QVMStatusItem *item = new QVMStatusItem;
    return *item;
}

namespace {

std::function<bool()> &availabilityOverride() {
    static std::function<bool()> check;
    return check;
}

bool trayAvailable() {
    return availabilityOverride() ? availabilityOverride()() : QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace

QVMStatusItem::QVMStatusItem() = default;

void QVMStatusItem::setTrayAvailabilityCheck(std::function<bool()> check) {
    availabilityOverride() = std::move(check);
}

void QVMStatusItem::reset() {
    delete m_trayWatcher;
    m_image = QImage();
    m_iconPresented = false;
    m_reportedNoTray = false;
    delete m_window;
    delete m_trayIcon;
    delete m_menu;
    delete m_presented;
    m_configuration = {};
    m_dropHandler = {};
    m_iconWanted = true;
    keepRunningInTray();
}

void QVMStatusItem::ensureWindow() {
    if (m_window)
        return;
    m_window = new QVMStatusItemWindow;
    m_window->setObjectName(QStringLiteral("QVMStatusItemWindow"));
    connect(m_window, &QVMStatusItemWindow::didResignKey, this, &QVMStatusItem::windowResignedKey);
    connect(m_window, &QVMStatusItemWindow::escapePressed, this, [this] {
        if (!m_configuration.isPinned())
            dismissStatusItemWindow();
    });
    connect(m_window, &QVMStatusItemWindow::willClose, this, &QVMStatusItem::windowWillClose);
    // A window that grows while open (a message, a pasted text) stays on the screen.
    connect(m_window, &QVMStatusItemWindow::resized, this, [this] {
        if (m_window->isVisible())
            placeWindow();
    });
    if (m_dropHandler)
        m_window->setDropHandler(m_dropHandler);
}

void QVMStatusItem::ensureTrayIcon(const QImage &image) {
    m_image = image;
    m_iconPresented = true;
    if (m_trayIcon) {
        m_trayIcon->setIcon(QIcon(QPixmap::fromImage(image)));
        return;
    }
    if (trayAvailable()) {
        createTrayIcon(image);
        return;
    }
    if (!std::exchange(m_reportedNoTray, true))
        DevLog(
            QStringLiteral("[tray] no system tray: the translator opens from the toolbar and the shortcuts"));
    if (m_iconWanted)
        waitForTray(true);
}

void QVMStatusItem::waitForTray(bool wait) {
    if (!wait) {
        if (m_trayWatcher)
            m_trayWatcher->stop();
        return;
    }
    if (!m_trayWatcher) {
        m_trayWatcher = new QVMTrayHostWatcher(QDBusConnection::sessionBus(),
                                               QVMTrayHostWatcher::pollsOnThisPlatform(), this);
        connect(m_trayWatcher, &QVMTrayHostWatcher::trayHostMayHaveAppeared, this,
                &QVMStatusItem::lookForTray);
    }
    m_trayWatcher->start();
}

// A status-notifier host registers its name a moment before it answers: a
// first look that finds nothing leaves the watcher (and its poll) running.
void QVMStatusItem::lookForTray() {
    if (m_trayIcon || !m_iconWanted || !m_iconPresented) {
        waitForTray(false);
        return;
    }
    if (!trayAvailable())
        return;
    waitForTray(false);
    DevLog(QStringLiteral("[tray] a system tray appeared: the icon is shown"));
    createTrayIcon(m_image);
}

void QVMStatusItem::createTrayIcon(const QImage &image) {
    m_trayIcon = new QSystemTrayIcon(QIcon(QPixmap::fromImage(image)), this);
    m_trayIcon->setToolTip(QString::fromLatin1(kAccessibleName));
    m_menu = new QMenu;
    m_menu->setAccessibleName(QString::fromLatin1(kAccessibleName));
    QAction *open = m_menu->addAction(tr("Open translator"), this, &QVMStatusItem::showStatusItemWindow);
    open->setObjectName(QStringLiteral("openTranslator"));
    QAction *main = m_menu->addAction(tr("Show main window"), this, &QVMStatusItem::showMainWindowRequested);
    main->setObjectName(QStringLiteral("showMainWindow"));
    QAction *file =
        m_menu->addAction(tr("Translate a file\u2026"), this, &QVMStatusItem::translateFileRequested);
    file->setObjectName(QStringLiteral("translateFile"));
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
    quit->setObjectName(QStringLiteral("quit"));
    connect(m_menu, &QMenu::aboutToShow, this, &QVMStatusItem::menuAboutToShow);
    m_trayIcon->setContextMenu(m_menu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        if (isStatusItemWindowVisible() && !m_configuration.isPinned())
            dismissStatusItemWindow();
        else
            showStatusItemWindow();
    });
    m_trayIcon->setVisible(m_iconWanted);
    keepRunningInTray();
}

// With a tray icon the program stays there when its main window closes; without one, closing quits.
void QVMStatusItem::keepRunningInTray() {
    if (qApp)
        QApplication::setQuitOnLastWindowClosed(!isStatusItemVisible());
}

void QVMStatusItem::presentStatusItemWithImage(const QImage &image, QVMBaseVC *contentViewController) {
    ensureWindow();
    ensureTrayIcon(image);
    if (contentViewController != m_presented) {
        QPointer<QVMBaseVC> former = m_presented;
        m_presented = contentViewController;
        if (contentViewController)
            contentViewController->setParent(this);
        updateContentViewController(contentViewController);
        if (former)
            former->deleteLater();
    }
}

bool QVMStatusItem::isStatusItemVisible() const {
    return m_trayIcon ? m_trayIcon->isVisible() : false;
}

void QVMStatusItem::setStatusItemVisible(bool visible) {
    m_iconWanted = visible;
    if (m_trayIcon)
        m_trayIcon->setVisible(visible);
    else if (visible && m_iconPresented)
        ensureTrayIcon(m_image); // a tray may have come up since the icon was last wanted
    else if (!visible)
        waitForTray(false);
    keepRunningInTray();
}

void QVMStatusItem::updateContentViewController(QVMBaseVC *contentViewController) {
    ensureWindow();
    m_content = contentViewController;
    // A view not built yet is built when the window first shows it: the start does not pay for it.
    const bool build = contentViewController &&
                       (m_window->isVisible() || contentViewController->isViewLoaded());
    QWidget *view = build ? contentViewController->view() : nullptr;
    m_window->setContentView(view);
    if (view && m_window->isVisible()) {
        m_window->adjustSize();
        view->setFocus();
    }
}

bool QVMStatusItem::isStatusItemWindowVisible() const {
    return m_window && m_window->isVisible();
}

void QVMStatusItem::showStatusItemWindow() {
    ensureWindow();
    if (m_content && m_window->contentView() != m_content->view())
        m_window->setContentView(m_content->view());
    m_window->adjustSize();
    placeWindow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void QVMStatusItem::dismissStatusItemWindow() {
    if (m_window && m_window->isVisible())
        m_window->hide();
}

void QVMStatusItem::setDropHandler(std::function<void(const QStringList &)> handler) {
    m_dropHandler = std::move(handler);
    ensureWindow();
    m_window->setDropHandler(m_dropHandler);
}

QPoint QVMStatusItem::windowOrigin(const QRect &iconGeometry, const QRect &available,
                                   const QSize &windowSize) {
    QPoint origin;
    if (iconGeometry.isValid() && !iconGeometry.isEmpty()) {
        origin.setX(iconGeometry.center().x() - windowSize.width() / 2);
        // A tray at the bottom of the screen: the window opens above the icon.
        const bool above = iconGeometry.center().y() > available.center().y();
        origin.setY(above ? iconGeometry.top() - windowSize.height() - kScreenMargin
                          : iconGeometry.bottom() + 1 + kScreenMargin);
    } else {
        origin = QPoint(available.right() + 1 - windowSize.width() - kScreenMargin,
                        available.top() + kScreenMargin);
    }
    return keptOnScreen(origin, available, windowSize);
}

void QVMStatusItem::placeWindow() {
    const QRect icon = m_trayIcon ? m_trayIcon->geometry() : QRect();
    QScreen *screen = icon.isValid() ? QGuiApplication::screenAt(icon.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    if (icon.isValid() && !icon.isEmpty()) {
        m_window->move(windowOrigin(icon, available, m_window->size()));
        return;
    }
    // No icon to hang from: the first showing goes to the top right, later sizes keep the place
    // where they fit.
    const QPoint origin =
        m_window->isVisible() ? m_window->pos() : windowOrigin(icon, available, m_window->size());
    m_window->move(keptOnScreen(origin, available, m_window->size()));
}

QPoint QVMStatusItem::keptOnScreen(const QPoint &origin, const QRect &available, const QSize &windowSize) {
    const int maxX = available.right() + 1 - windowSize.width() - kScreenMargin;
    const int maxY = available.bottom() + 1 - windowSize.height() - kScreenMargin;
    return QPoint(std::max(available.left() + kScreenMargin, std::min(origin.x(), maxX)),
                  std::max(available.top() + kScreenMargin, std::min(origin.y(), maxY)));
}

void QVMStatusItem::windowResignedKey() {
    emit didResignKey();
    if (!m_configuration.isPinned())
        dismissStatusItemWindow();
}
