#include "QVMTrayPopoverInstaller.h"

#include "QVMGenaralPopoverViewController.h"
#include "QVMLanguagesPopoverViewController.h"
#include "QVMPopoverIcons.h"
#include "QVMStatusItem.h"

#include "panes/shortcuts/QVMKeyboardShortcutsService.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/window/QVMFirstFrame.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QToolButton>

namespace {

QPointer<QVMGeneralViewController> &currentMainView() {
    static QPointer<QVMGeneralViewController> view;
    return view;
}

QImage statusBarImage() {
    return QVMPopoverIcons::image(QString::fromLatin1(QVMPopoverIcons::kStatusBarIcon), 64,
                                  QApplication::palette().color(QPalette::WindowText));
}

QVMGenaralPopoverViewController *presentedPopover() {
    return qobject_cast<QVMGenaralPopoverViewController *>(
        QVMStatusItem::sharedInstance().presentedViewController());
}

void presentStatusItem(QVMGeneralViewController *view) {
    QVMGenaralPopoverViewController *popover = QVMGenaralPopoverViewController::viewController();
    if (!popover)
        return;
    popover->setDelegate(view);
    currentMainView() = view;
    QVMKeyboardShortcutsService::sharedInstance().setStatusItemController(popover);
    QVMStatusItem &item = QVMStatusItem::sharedInstance();
    item.presentStatusItemWithImage(statusBarImage(), popover);
    item.setDropHandler([](const QStringList &paths) {
        if (QVMGenaralPopoverViewController *shown = presentedPopover())
            shown->openDroppedFiles(paths);
    });
}

// The main view whose status item waits for the window's first frame.
QPointer<QVMGeneralViewController> &waitingView() {
    static QPointer<QVMGeneralViewController> view;
    return view;
}

// Finding a tray asks the session bus and the X server and waits for both: not before the
// main window is on the screen, unless the translator is asked for sooner.
void lozyMenuBarItem(QVMGeneralViewController *view) {
    waitingView() = view;
    QVMFirstFrame::whenDrawn(presentWaitingStatusItem);
}

void connectMenu() {
    QVMStatusItem &item = QVMStatusItem::sharedInstance();
    QObject::connect(&item, &QVMStatusItem::showMainWindowRequested, &item, [] {
        if (QVMGeneralViewController *view = currentMainView())
            view->activateGeneralWindows();
    });
    QObject::connect(&item, &QVMStatusItem::translateFileRequested, &item, [] {
        QVMGeneralViewController *view = currentMainView();
        if (!view)
            return;
        view->activateGeneralWindows();
        QVMInterfaceHooks::call(QVMInterfaceHooks::shared().onOpenFile, "onOpenFile", view);
    });
    QObject::connect(&item, &QVMStatusItem::menuAboutToShow, &item, [] {
        QMenu *menu = QVMStatusItem::sharedInstance().menu();
        QAction *file = menu ? menu->findChild<QAction *>(QStringLiteral("translateFile")) : nullptr;
        if (!file)
            return;
        // As the main view's file button is, and for the same reason (no connection, no installed window).
        QVMGeneralViewController *view = currentMainView();
        QToolButton *button = view && view->isViewLoaded() ? view->fileButton() : nullptr;
        const bool possible = bool(QVMInterfaceHooks::shared().onOpenFile) && button && button->isEnabled();
        file->setEnabled(possible);
        file->setToolTip(possible ? QString()
                         : button ? button->toolTip()
                                  : QObject::tr("File translation is not available yet"));
        menu->setToolTipsVisible(true);
    });
}

} // namespace

void presentWaitingStatusItem() {
    if (const QPointer<QVMGeneralViewController> view = std::exchange(waitingView(), nullptr))
        presentStatusItem(view);
}

QVMGeneralViewController *trayPopoverMainView() {
    return currentMainView();
}

void installTrayPopover() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    const QString popover = QStringLiteral("QVMGenaralPopoverViewController");
    if (!factory.hasController(popover, popover))
        factory.registerNib<QVMGenaralPopoverViewController>(popover);
    const QString list = QStringLiteral("QVMLanguagesPopoverViewController");
    if (!factory.hasController(list, list))
        factory.registerNib<QVMLanguagesPopoverViewController>(list);
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    hooks.lozyMenuBarItem = lozyMenuBarItem;
    hooks.showAgent = [](QVMGeneralViewController *) {
        presentWaitingStatusItem();
        QVMStatusItem::sharedInstance().showStatusItemWindow();
    };
    hooks.isStatusItemVisible = [] { return QVMStatusItem::sharedInstance().isStatusItemVisible(); };
    hooks.setStatusItemVisible = [](bool visible) {
        QVMStatusItem::sharedInstance().setStatusItemVisible(visible);
    };
    static bool menuConnected = false;
    if (!std::exchange(menuConnected, true))
        connectMenu();
}
