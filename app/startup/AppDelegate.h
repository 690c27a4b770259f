#pragma once

#include "startup/QVLaunchDependencies.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>

class QGuiApplication;
class QScreen;
class QWidget;

// The application's start-up and lifecycle: the launch sequence (store and
// its migration, language catalogue, analytics, push, crash reporting, remote
// configuration, main window), the window's rebuild on a new interface
// language, the profile refresh on activation, the reopen and the "App Close"
// event at quit. Main thread only.
//
//   AppDelegate delegate(std::make_unique<QVSystemLaunchDependencies>(), source);
//   delegate.attachToApplication(&app);
//   if (!delegate.applicationDidFinishLaunching())
//       return AppDelegate::kStoreRefusedExitCode;   // the user has been told why
//   return app.exec();
//
// Nothing in the launch waits for the network; the backend's answers arrive
// later on the main thread. The catalogue refresh from the backend is queued
// behind the launch, so it leaves after the backend client was started with
// the application key and the installation identifier.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(std::unique_ptr<QVLaunchDependencies> dependencies, const QString &source,
                QObject *parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence. False when the store cannot be used: the user was
    // told why and the program should quit without touching the file.
    bool applicationDidFinishLaunching();
    void attachToApplication(QGuiApplication *application);

    void loadMainWindow();
    void updateAppLanguage();
    void initialDefaultRealmValue();
    void applicationDidBecomeActive();
    // Shows the window when none is visible; true when it did.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    void applicationWillTerminate();
    // A second launch asked for the window: shown, raised and focused.
    void activateMainWindow();

    void checkForUpdates();
    void iRateDidPromptForRating();
    void iRateUserDidAttemptToRateApp();
    void iRateUserDidDeclineToRateApp();
    void iRateUserDidRequestReminderToRateApp();
    void showUpdateNotice(const QString &version, const QUrl &downloadPage);

    QVMainWindowHandle *windowController() const { return m_windowController.get(); }
    QAction *checkForUpdatesMenuItem() const { return m_checkForUpdatesMenuItem; }
    const QString &source() const { return m_source; }

    // The frame clamped to the available area, width first; each clamp moves
    // that origin to the area's origin. A frame that fits is unchanged.
    static QRect fittedFrame(QRect frame, const QRect &available);
    // Fits the window to the screen's available area; without a screen it is left as it is.
    static void fitWindowToScreen(QWidget *window, QScreen *screen);

    static constexpr int kScreenMode = 2;
    static constexpr int kScreenType = 0;
    static constexpr const char *kLanguageDidChangeNotification = "kLanguageDidChangeNotification";
    static constexpr const char *kWindowTitleFormat = "Quorvalde Translator v %@";
    static constexpr const char *kUuidLogFormat = "MAC OS UUID: %@";
    static constexpr const char *kBundleLogFormat = "[BUNDLE] %@";
    static constexpr const char *kProfileFailureMessage = "QVAuthRequestManager getUserSucces";
    static constexpr const char *kCheckForUpdatesTitle = "Check for updates";
    static constexpr const char *kApplicationMenuTitle = "Quorvalde Translator";
    // The main window's own application menu and its Quit item, by object name.
    static constexpr const char *kApplicationMenuName = "applicationMenu";
    static constexpr const char *kQuitActionName = "quitAction";
    static constexpr const char *kNoFeedText =
        "This copy has no update feed configured, so it cannot check for updates.";
    static constexpr const char *kDidPromptForRating = "iRateDidPromptForRating";
    static constexpr const char *kUserDidAttemptToRateApp = "iRateUserDidAttemptToRateApp";
    static constexpr const char *kUserDidDeclineToRateApp = "iRateUserDidDeclineToRateApp";
    static constexpr const char *kUserDidRequestReminderToRateApp = "iRateUserDidRequestReminderToRateApp";
    static constexpr const char *kActionRateShown = "Shown";
    static constexpr const char *kActionRateClick = "Click Rate";
    static constexpr const char *kActionRateCancel = "Click Cancel";
    static constexpr const char *kActionRateNotNow = "Click Not Now";
    static constexpr int kStoreRefusedExitCode = 3;
    // How long after the window's first frame the offline engine may load: start-up goes on
    // opening plugins for a moment after it, and the engine's library would hold the loader.
    static constexpr int kOfflineEngineDelayMs = 2000;
    // Logged once the main window's first frame was drawn (the start-up benchmark waits for it).
    static constexpr const char *kFirstFrameLog = "[launch] first frame";

    // What the user reads when the store needed help.
    static constexpr const char *kSalvageTitle = "Your translation history was repaired";
    static constexpr const char *kSalvageFormat =
        "The database was damaged. %@ records were saved and %@ could not be read. "
        "The damaged file was kept as it was at %@.";
    static constexpr const char *kNewerStoreTitle = "This database belongs to a newer version";
    static constexpr const char *kNewerStoreFormat =
        "The database at %@ was written by a newer version of Quorvalde Translator. "
        "It has not been changed. Install the newer version to use it. Quorvalde Translator will now quit.";
    static constexpr const char *kStoreFailedTitle = "The database could not be opened";
    static constexpr const char *kStoreFailedFormat =
        "%@\n\nThe file at %@ has not been changed. Quorvalde Translator will now quit.";
    static constexpr const char *kUpdateTitle = "An update is available";
    static constexpr const char *kUpdateFormat = "Quorvalde Translator %@ is available. You have version %@.";
    // Builds the salvage notice's text for the reports of one open.
    static QString salvageText(const QList<platform::SalvageReport> &reports);

private:
    bool migrationRealm();
    void releaseOfflineEngineAfterFirstFrame();
    void observeRatingPrompt();
    void sendRateEvent(const char *action);

    std::unique_ptr<QVLaunchDependencies> m_dependencies;
    QString m_source;
    std::unique_ptr<QVMainWindowHandle> m_windowController;
    QPointer<QAction> m_checkForUpdatesMenuItem;
    QList<platform::NotificationCenter::Token> m_observers;
};
