#pragma once

#include "QVMStatusItemWindow.h"
#include "QVMTrayHostWatcher.h"

#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QSystemTrayIcon>

#include <functional>

class QVMBaseVC;

// The program's one tray icon and the window that hangs from it, which shows
// one view controller at a time (the popover translator or its language
// list). Without a system tray there is no icon, and the window is reached
// from the toolbar and the shortcuts; it then opens at the top right of the
// screen. A tray that starts later gets the icon then (QVMTrayHostWatcher).
// Main thread only.
//
//   QVMStatusItem &item = QVMStatusItem::sharedInstance();
//   item.presentStatusItemWithImage(QVMPopoverIcons::image("statusbar-icon", 64, color), popover);
//   item.setDropHandler([](const QStringList &paths) { ... });
//   item.showStatusItemWindow();
//   item.updateContentViewController(languageList);   // the list replaces the translator
//   item.windowConfiguration().setPinned(true);         // stays open when clicked elsewhere
class QVMStatusItem : public QObject {
    Q_OBJECT
public:
    static QVMStatusItem &sharedInstance();

    class WindowConfiguration {
    public:
        bool isPinned() const { return m_pinned; }
        void setPinned(bool pinned) { m_pinned = pinned; }

    private:
        bool m_pinned = false;
    };

    // Shows the icon (once per run) and makes the controller the window's
    // content; presenting again replaces the content and keeps the one icon.
    // The controller is owned by the item until another one is presented.
    void presentStatusItemWithImage(const QImage &image, QVMBaseVC *contentViewController);
    // The tray icon; null without a system tray or before the first presentation.
    QSystemTrayIcon *statusItem() const { return m_trayIcon; }
    // The tray icon shown or hidden (the general settings' menu-bar switch).
    bool isStatusItemVisible() const;
    void setStatusItemVisible(bool visible);

    void showStatusItemWindow();
    void dismissStatusItemWindow();
    bool isStatusItemWindowVisible() const;
    // The content for now (the presented controller stays owned as before).
    void updateContentViewController(QVMBaseVC *contentViewController);
    QVMBaseVC *contentViewController() const { return m_content; }
    QVMBaseVC *presentedViewController() const { return m_presented; }
    WindowConfiguration &windowConfiguration() { return m_configuration; }
    void setDropHandler(std::function<void(const QStringList &paths)> handler);

    QVMStatusItemWindow *statusItemWindow() const { return m_window; }
    QMenu *menu() const { return m_menu; }
    // Where the window goes: under the icon when its place is known, else at the
    // top right of the available area of the screen holding `fallbackScreen`.
    static QPoint windowOrigin(const QRect &iconGeometry, const QRect &available, const QSize &windowSize);
    // The origin moved the least so that the whole window lies inside the area (with the margin).
    static QPoint keptOnScreen(const QPoint &origin, const QRect &available, const QSize &windowSize);

    // Drops everything (tests).
    void reset();
    // Whether a system tray exists now; empty puts back the real question (tests).
    static void setTrayAvailabilityCheck(std::function<bool()> check);
    // Watching for a tray to come up: an icon is wanted and there is no tray yet.
    bool isWaitingForTray() const { return m_trayWatcher && m_trayWatcher->isWatching(); }
    QVMTrayHostWatcher *trayHostWatcher() const { return m_trayWatcher; }

    static constexpr const char *kAccessibleName = "Quorvalde Translator";
    static constexpr int kScreenMargin = 4;

signals:
    void didResignKey();
    void windowWillClose();
    // The tray menu's entries other than opening the translator and quitting.
    void showMainWindowRequested();
    void translateFileRequested();
    // Just before the menu shows, so the owner can enable what is possible now.
    void menuAboutToShow();

private:
    QVMStatusItem();
    void ensureWindow();
    void ensureTrayIcon(const QImage &image);
    void createTrayIcon(const QImage &image);
    void lookForTray();
    void waitForTray(bool wait);
    void placeWindow();
    void windowResignedKey();
    void keepRunningInTray();

    QPointer<QSystemTrayIcon> m_trayIcon;
    QPointer<QMenu> m_menu;
    QPointer<QVMStatusItemWindow> m_window;
    QPointer<QVMBaseVC> m_presented;
    QPointer<QVMBaseVC> m_content;
    WindowConfiguration m_configuration;
    std::function<void(const QStringList &)> m_dropHandler;
    bool m_iconWanted = true;
    QImage m_image;
    bool m_iconPresented = false;
    QPointer<QVMTrayHostWatcher> m_trayWatcher;
    bool m_reportedNoTray = false;
};
