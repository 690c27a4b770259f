#pragma once

#include "platform/NotificationCenter.h"
#include "ui/main/QVMPanelsSnapshot.h"

#include <QMainWindow>
#include <QPointer>
#include <QUrl>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QToolButton;
class QVMGeneralAndHistorySplitController;
class QVMControlAvailability;
class QVMGeneralViewController;
class QVMSegmentedControl;

// The main window: its toolbar (language buttons, swap, translate, panel and
// layout segments, quick translator, settings, more apps) and its content, the
// split view whose item 0 is the main translation view. It keeps the language
// buttons in step with the settings record and, without a network, the
// offline engine's pair too. It holds no translation state: text actions go
// to the main view.
//
//   auto *controller = QVMInterfaceFactory::shared().instantiateController<QVGeneralWindowController>(
//       "Main", "QVGeneralWindowController");
//   controller->showWindow();
//   controller->showSettingsScreenWithTab(1);   // the offline packages
//
// A new controller is made for each main window (the interface language
// changes rebuild it), so every observer lives and dies with it.
class QVGeneralWindowController : public QObject {
    Q_OBJECT
public:
    explicit QVGeneralWindowController(QObject *parent = nullptr);
    ~QVGeneralWindowController() override;

    QMainWindow *window() const { return m_window; }
    void showWindow();
    void close();

    // "Quorvalde Translator v %@" with the short version.
    static QString windowTitle();

    QVMGeneralAndHistorySplitController *splitController() const { return m_split; }
    // Item 0 of the window's split view.
    QVMGeneralViewController *generalViewController() const;

    QToolButton *fromLanguageButton() const { return m_fromLanguageButton; }
    QToolButton *toLanguageButton() const { return m_toLanguageButton; }
    QToolButton *swapButton() const { return m_swapButton; }
    QToolButton *translateButton() const { return m_translateButton; }
    QToolButton *agentButton() const { return m_agentButton; }
    QToolButton *settingsButton() const { return m_settingsButton; }
    QToolButton *moreAppsButton() const { return m_moreAppsButton; }
    QToolButton *syncBookmarksButton() const { return m_syncBookmarksButton; }
    QVMSegmentedControl *panelsStateSegmentedControl() const { return m_panelsState; }
    QVMSegmentedControl *viewsDirectionSegmentedControl() const { return m_viewsDirection; }
    // Which toolbar controls have their window installed behind them.
    QVMControlAvailability *availability() const { return m_availability; }
    // The application menu (About, Quit); start-up adds "Check for updates" to it.
    QMenu *applicationMenu() const { return m_applicationMenu; }
    QAction *quitAction() const { return m_quitAction; }
    // The settings window opened last, while it is open.
    QObject *settingsController() const { return m_settings; }

    // What the panels show, carried into the window that replaces this one.
    QVMPanelsSnapshot panels() const;
    // The panels show exactly the snapshot's text and translation, empty ones included.
    void restorePanels(const QVMPanelsSnapshot &panels);
    // The controller of a main window, or null for another window.
    static QVGeneralWindowController *controllerOfWindow(const QWidget *window);

    // Buttons and the offline pair after a change of languages.
    Q_INVOKABLE void updateLanguages();
    void updateLanguagesButtons();
    void updateFromLanguageButton();
    void updateToLanguageButton();
    void changeLanguageForSynaptraService();
    void lazyUnknownWords();
    void initialMainWindow();
    void lazyMainWindow();
    // 0 general, 1 offline packages, 2 account, 3 info, 4 about; one settings window at a time.
    Q_INVOKABLE void showSettingsScreenWithTab(int tab);

    // Toolbar actions.
    void onNew();
    // Segment 0 makes the panels' text one point larger, 1 one point smaller.
    void onSegmentZoomSwitch(int segment);
    QToolButton *newButton() const { return m_newButton; }
    QVMSegmentedControl *zoomSegments() const { return m_zoomSegments; }
    void onTranslate();
    void onSwitchButton();
    void onAgent();
    void onSettings();
    void onMoreApps();
    // The main view's open panel (documents and pictures), save panel and printing.
    void onOpen();
    void onSave();
    void onPrint();
    // File ▸ Open… (Ctrl+O), Save… (Ctrl+S), Print… (Ctrl+P), second on the window's menu bar.
    QMenu *addFileMenu();
    // F10: opens the first menu of the bar, from where the arrow keys reach the others.
    void openMenuBar();
    // Sends changes made offline, then fetches the account's favourites.
    void onSyncronizeBookmarks();
    void onLanguageButton(QToolButton *sender);
    void segmentSwitch();
    void onPanelsState();
    void onAbout();

    // The language list's delegate (its "sideIndex": 1 source, 2 target).
    Q_INVOKABLE void languageDidUpdate(QObject *controller);
    Q_INVOKABLE void languageControllerWillDismiss(QObject *controller);
    void prepareForSegue(QObject *destination, QObject *sender);

    static constexpr const char *kSettingsDidChangedNotification = "kSettingsDidChangedNotification";
    static constexpr const char *kUserDefaultTranslateViewsShowState = "kUserDefaultTranslateViewsShowState";
    static constexpr const char *kUserDefaultHistoryViewShow = "kUserDefaultHistoryViewShow";
    static constexpr const char *kUserDefaultTranslateViewsDirection = "kUserDefaultTranslateViewsDirection";
    // The language list's segue from the toolbar's language buttons.
    static constexpr const char *kLanguagesControllerSegue = "kLanguagesControllerSegue";
    static constexpr const char *kLanguageButtonFormat = "%@ %@";
    static constexpr const char *kLanguageButtonArrow = "\u25BE";
    // The window's property naming its controller, for views that reach it.
    static constexpr const char *kWindowControllerProperty = "qvWindowController";
    static constexpr int kSettingsTabAbout = 4;
    // The window opens this size, wider when the tool bar needs it, centred and within the screen.
    static constexpr QSize kDefaultWindowSize{1000, 720};
    static constexpr int kToolbarSlack = 24;
    static QRect defaultFrame(int toolbarWidth, const QRect &available);

private:
    void buildToolbar();
    void buildMenus();
    void placeWindow();
    void buildFileMenu(QMenuBar *bar);
    void lozyAvailability();
    void syncPanelSegments();
    static QUrl moreAppsURL();
    void updateLanguageButton(QToolButton *button, bool source);
    void trackEvent(const QString &action, const QVariantMap &params = {});

    QPointer<QMainWindow> m_window;
    QToolBar *m_toolbar = nullptr;
    QToolButton *m_fromLanguageButton = nullptr;
    QToolButton *m_toLanguageButton = nullptr;
    QToolButton *m_swapButton = nullptr;
    QToolButton *m_translateButton = nullptr;
    QToolButton *m_agentButton = nullptr;
    QToolButton *m_settingsButton = nullptr;
    QToolButton *m_moreAppsButton = nullptr;
    QToolButton *m_syncBookmarksButton = nullptr;
    QVMSegmentedControl *m_panelsState = nullptr;
    QVMSegmentedControl *m_viewsDirection = nullptr;
    QToolButton *m_newButton = nullptr;
    QVMSegmentedControl *m_zoomSegments = nullptr;
    QVMGeneralAndHistorySplitController *m_split = nullptr;
    QPointer<QObject> m_settings;
    QVMControlAvailability *m_availability = nullptr;
    QMenu *m_applicationMenu = nullptr;
    QMenu *m_fileMenu = nullptr;
    QAction *m_quitAction = nullptr;
    platform::NotificationCenter::Token m_settingsObserver = 0;
    platform::NotificationCenter::Token m_userObserver = 0;
};
