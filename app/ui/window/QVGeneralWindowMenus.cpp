// The main window's menu bar: application, File, Edit and Window menus, their
// mnemonics, and F10 to reach the bar from the keyboard.
#include "ui/window/QVGeneralWindowController.h"

#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/window/QVMMenuMnemonics.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QTextEdit>

namespace {

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

// The Edit menu acts on the text view that has the focus.
QTextEdit *focusedTextView() {
    return qobject_cast<QTextEdit *>(QApplication::focusWidget());
}

} // namespace

void QVGeneralWindowController::buildMenus() {
    QMenuBar *bar = m_window->menuBar();
    m_applicationMenu = bar->addMenu(loc("_loc_menu_application"));
    m_applicationMenu->setObjectName(QStringLiteral("applicationMenu"));
    QAction *about =
        m_applicationMenu->addAction(loc("_loc_menu_about"), this, &QVGeneralWindowController::onAbout);
    about->setMenuRole(QAction::AboutRole);
    about->setObjectName(QStringLiteral("aboutAction"));
    m_applicationMenu->addSeparator();
    m_quitAction = m_applicationMenu->addAction(loc("_loc_menu_quit"));
    m_quitAction->setObjectName(QStringLiteral("quitAction"));
    m_quitAction->setShortcut(QKeySequence::Quit);
    m_quitAction->setMenuRole(QAction::QuitRole);
    // Queued, so the menu's own event is over before the program winds down.
    connect(m_quitAction, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);

    buildFileMenu(bar);

    QMenu *edit = bar->addMenu(loc("_loc_menu_edit"));
    edit->setObjectName(QStringLiteral("editMenu"));
    const struct {
        const char *key;
        QKeySequence::StandardKey shortcut;
        void (QTextEdit::*act)();
        bool changesText;
    } editActions[] = {
        {"_loc_menu_undo", QKeySequence::Undo, &QTextEdit::undo, true},
        {"_loc_menu_redo", QKeySequence::Redo, &QTextEdit::redo, true},
        {"_loc_menu_cut", QKeySequence::Cut, &QTextEdit::cut, true},
        {"_loc_menu_copy", QKeySequence::Copy, &QTextEdit::copy, false},
        {"_loc_menu_paste", QKeySequence::Paste, &QTextEdit::paste, true},
        {"_loc_menu_select_all", QKeySequence::SelectAll, &QTextEdit::selectAll, false},
    };
    for (const auto &item : editActions) {
        QAction *action = edit->addAction(loc(item.key));
        action->setShortcut(item.shortcut);
        action->setObjectName(QString::fromLatin1(item.key));
        const auto act = item.act;
        const bool changesText = item.changesText;
        connect(action, &QAction::triggered, this, [act, changesText] {
            QTextEdit *text = focusedTextView();
            if (text && !(changesText && text->isReadOnly()))
                (text->*act)();
        });
    }
    // Nothing to act on outside a text view.
    connect(edit, &QMenu::aboutToShow, edit, [edit] {
        const bool inText = focusedTextView() != nullptr;
        for (QAction *action : edit->actions())
            action->setEnabled(inText);
    });

    QMenu *windowMenu = bar->addMenu(loc("_loc_menu_window"));
    windowMenu->setObjectName(QStringLiteral("windowMenu"));
    QAction *minimize =
        windowMenu->addAction(loc("_loc_menu_minimize"), m_window.data(), &QWidget::showMinimized);
    minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    minimize->setObjectName(QStringLiteral("minimizeAction"));
    QAction *closeWindow = windowMenu->addAction(loc("_loc_menu_close"), m_window.data(), &QWidget::close);
    closeWindow->setShortcut(QKeySequence::Close);
    closeWindow->setObjectName(QStringLiteral("closeAction"));

    QVMMenuMnemonics::assign(bar->actions());
    // Items added later (start-up adds one) get theirs when the menu opens.
    for (QAction *title : bar->actions()) {
        if (QMenu *menu = title->menu())
            connect(menu, &QMenu::aboutToShow, menu, [menu] { QVMMenuMnemonics::assign(menu->actions()); });
    }
    auto *menuBarKey = new QShortcut(QKeySequence(Qt::Key_F10), m_window);
    connect(menuBarKey, &QShortcut::activated, this, &QVGeneralWindowController::openMenuBar);
}

// The about pane of the settings window when it exists, else a plain box with the version.
void QVGeneralWindowController::onAbout() {
    if (QVMInterfaceFactory::shared().hasController(QStringLiteral("Settings"),
                                                    QStringLiteral("QVMSettingsWindowController"))) {
        showSettingsScreenWithTab(kSettingsTabAbout);
        return;
    }
    auto *box =
        new QMessageBox(QMessageBox::Information, loc("_loc_menu_application"),
                        platform::format(loc("_loc_about_version"), QVMUtils::getAppVersionFromBundle()),
                        QMessageBox::Ok, m_window);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QMenu *QVGeneralWindowController::addFileMenu() {
    return m_fileMenu;
}

// Right after the application menu, as on the desktop.
void QVGeneralWindowController::buildFileMenu(QMenuBar *bar) {
    m_fileMenu = bar->addMenu(loc("_loc_menu_file"));
    m_fileMenu->setObjectName(QStringLiteral("fileMenu"));
    const auto add = [this](const char *key, QKeySequence::StandardKey shortcut,
                            void (QVGeneralWindowController::*slot)()) {
        QAction *action = m_fileMenu->addAction(loc(key));
        action->setObjectName(QString::fromLatin1(key));
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
    };
    add("_loc_menu_open_file", QKeySequence::Open, &QVGeneralWindowController::onOpen);
    add("_loc_menu_save_file", QKeySequence::Save, &QVGeneralWindowController::onSave);
    add("_loc_menu_print", QKeySequence::Print, &QVGeneralWindowController::onPrint);
}

void QVGeneralWindowController::openMenuBar() {
    QMenuBar *bar = m_window ? m_window->menuBar() : nullptr;
    if (!bar)
        return;
    for (QAction *action : bar->actions()) {
        if (action->menu() && action->isVisible() && action->isEnabled()) {
            bar->setActiveAction(action);
            return;
        }
    }
}
