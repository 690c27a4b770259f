#include "startup/AppDelegate.h"
#include "ui/window/QVGeneralWindowController.h"
#include "ui/window/QVMFirstFrame.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "platform/Format.h"
#include "platform/MainQueue.h"
#include "platform/SystemLog.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// Calls `then` once, at the first paint of the watched widget, and goes.
class FirstFrameWatcher : public QObject {
public:
    FirstFrameWatcher(QWidget *widget, std::function<void()> then)
        : QObject(widget), m_then(std::move(then)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint && m_then) {
            watched->removeEventFilter(this);
            // After this paint has reached the screen, not before it.
            QTimer::singleShot(0, [then = std::move(m_then)] { then(); });
            m_then = nullptr;
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_then;
};

} // namespace

AppDelegate::AppDelegate(std::unique_ptr<QVLaunchDependencies> dependencies, const QString &source,
                         QObject *parent)
    : QObject(parent), m_dependencies(std::move(dependencies)), m_source(source) {
    // Hidden until the launch shows it, as the menu item was.
    m_checkForUpdatesMenuItem = new QAction(QString::fromLatin1(kCheckForUpdatesTitle), this);
    m_checkForUpdatesMenuItem->setVisible(false);
    connect(m_checkForUpdatesMenuItem, &QAction::triggered, this, [this] { checkForUpdates(); });
    m_dependencies->configureRatingPrompt();
}

AppDelegate::~AppDelegate() {
    for (const auto token : std::as_const(m_observers))
        m_dependencies->removeObserver(token);
    if (m_windowController)
        m_windowController->close();
}

bool AppDelegate::applicationDidFinishLaunching() {
    // What the main window's first frame does not show waits for that frame.
    QVMFirstFrame::expect();
    m_dependencies->configureScreenArbiter();
    m_checkForUpdatesMenuItem->setVisible(true);
    DevLog(QStringLiteral("[launch] source: %@"), m_source);
    m_dependencies->initializeProductAnalytics();
    if (!migrationRealm())
        return false;
    // The bridge follows reachability from now on, before any window asks for it.
    m_dependencies->createOfflineBridge();
    initialDefaultRealmValue();
    m_dependencies->addService();
    m_dependencies->initializeTracking();
    m_dependencies->lazyRemoteNotifications();
    m_dependencies->lazyFirebase();
    m_dependencies->getRemoteSettings(true);
    m_dependencies->startObservingShortcuts();
    m_dependencies->applyStoredInterfaceLanguage();
    loadMainWindow();
    releaseOfflineEngineAfterFirstFrame();
    DevLog(QString::fromLatin1(kUuidLogFormat), m_dependencies->installationIdentifier());
    QPointer<AppDelegate> self(this);
    m_observers.append(m_dependencies->observe(QString::fromLatin1(kLanguageDidChangeNotification), [self] {
        if (self)
            self->updateAppLanguage();
    }));
    m_dependencies->trackEvent(QString::fromLatin1(QVAnalyticsManager::kCategoryApp),
                               QString::fromLatin1(QVAnalyticsManager::kActionAppOpen),
                               {{QString::fromLatin1(QVAnalyticsManager::kParamSource), m_source}});
    platform::SystemLog::write(platform::format(QString::fromLatin1(kBundleLogFormat),
                                                m_dependencies->documentsDirectory().toString()));
    observeRatingPrompt();
    if (m_dependencies->hasAuthToken())
        m_dependencies->updateShowRegistrationOfferFlag();
    m_dependencies->setCustomVariables();
    m_dependencies->observeUpdateAvailable([self](const QString &version, const QUrl &page) {
        if (self)
            self->showUpdateNotice(version, page);
    });
    return true;
}

bool AppDelegate::migrationRealm() {
    const QVStoreOpening opening = m_dependencies->migrationRealm();
    if (opening.error) {
        DevLogger::logError(opening.error, QStringLiteral("migrationRealm"));
        const bool newer = opening.error.domain() == QLatin1String(platform::ObjectStore::kErrorDomain) &&
                           opening.error.code() == platform::ObjectStore::NewerSchema;
        if (newer)
            m_dependencies->showBlockingAlert(
                QString::fromLatin1(kNewerStoreTitle),
                platform::format(QString::fromLatin1(kNewerStoreFormat), opening.path));
        else
            m_dependencies->showBlockingAlert(QString::fromLatin1(kStoreFailedTitle),
                                              platform::format(QString::fromLatin1(kStoreFailedFormat),
                                                               opening.error.localizedDescription(),
                                                               opening.path));
        return false;
    }
    if (!opening.salvages.isEmpty()) {
        // The launch goes on with what was saved; the user reads it when they like.
        m_dependencies->showNotice(QString::fromLatin1(kSalvageTitle), salvageText(opening.salvages));
        m_dependencies->acknowledgeSalvageReports();
    }
    return true;
}

void AppDelegate::releaseOfflineEngineAfterFirstFrame() {
    QPointer<AppDelegate> self(this);
    auto later = [self] {
        DevLog(QString::fromLatin1(kFirstFrameLog));
        QVMFirstFrame::drawn();
        QTimer::singleShot(kOfflineEngineDelayMs, self, [self] {
            if (self)
                self->m_dependencies->releaseOfflineEngine();
        });
    };
    QMainWindow *window = m_windowController ? m_windowController->window() : nullptr;
    if (window)
        new FirstFrameWatcher(window, later);
    else
        later();
}

QString AppDelegate::salvageText(const QList<platform::SalvageReport> &reports) {
    qint64 kept = 0;
    qint64 lost = 0;
    bool lostIsMinimum = false;
    bool lostIsUnknown = false;
    QStringList movedTo;
    for (const platform::SalvageReport &report : reports) {
        kept += report.kept;
        lost += report.lost;
        lostIsMinimum = lostIsMinimum || !report.uncounted.isEmpty();
        lostIsUnknown = lostIsUnknown || !report.unreadable.isEmpty();
        movedTo.append(report.movedTo);
    }
    // A class read not at all has no count to give; a partly counted one gives a least number.
    const QString lostText = lostIsUnknown   ? QStringLiteral("an unknown number")
                             : lostIsMinimum ? QStringLiteral("at least %1").arg(lost)
                                             : QString::number(lost);
    return platform::format(QString::fromLatin1(kSalvageFormat), QString::number(kept), lostText,
                            movedTo.join(QStringLiteral(", ")));
}

void AppDelegate::initialDefaultRealmValue() {
    m_dependencies->initializeDefaultLanguages();
    QPointer<AppDelegate> self(this);
    // A request to the backend: never inside this call, and at launch after the first frame.
    QVMFirstFrame::whenDrawn([self] {
        platform::dispatchAsyncMain([self] {
            if (self)
                self->m_dependencies->refreshDefaultLanguages();
        });
    });
}

void AppDelegate::loadMainWindow() {
    // What the user typed and its translation outlive the window (a new interface language rebuilds it).
    QVMPanelsSnapshot panels;
    if (m_windowController) {
        const QWidget *oldWindow = m_windowController->window();
        if (const auto *previous = QVGeneralWindowController::controllerOfWindow(oldWindow))
            panels = previous->panels();
        m_windowController->close();
        m_windowController.reset();
    }
    platform::Error error;
    m_windowController = m_dependencies->makeMainWindowController(&error);
    if (!m_windowController) {
        DevLogger::logError(error, QStringLiteral("loadMainWindow"));
        return;
    }
    m_windowController->showWindow();
    QMainWindow *window = m_windowController->window();
    if (!window)
        return;
    window->setWindowTitle(
        platform::format(QString::fromLatin1(kWindowTitleFormat), QVMUtils::getAppVersionFromBundle()));
    // Into the window's own application menu, above Quit, when it has one.
    QMenu *menu = window->menuBar()->findChild<QMenu *>(QString::fromLatin1(kApplicationMenuName));
    if (!menu)
        menu = window->menuBar()->addMenu(QString::fromLatin1(kApplicationMenuTitle));
    // In the language the new window speaks.
    m_checkForUpdatesMenuItem->setText(tr(kCheckForUpdatesTitle));
    QAction *quit = menu->findChild<QAction *>(QString::fromLatin1(kQuitActionName));
    menu->insertAction(quit && menu->actions().contains(quit) ? quit : nullptr, m_checkForUpdatesMenuItem);
    if (auto *controller = qobject_cast<QVGeneralWindowController *>(
            window->property(QVGeneralWindowController::kWindowControllerProperty).value<QObject *>())) {
        controller->addFileMenu();
        controller->restorePanels(panels);
    }
    fitWindowToScreen(window, window->screen() ? window->screen() : QGuiApplication::primaryScreen());
}

QRect AppDelegate::fittedFrame(QRect frame, const QRect &available) {
    if (frame.width() > available.width()) {
        frame.setWidth(available.width());
        frame.moveLeft(available.x());
    }
    if (frame.height() > available.height()) {
        frame.setHeight(available.height());
        frame.moveTop(available.y());
    }
    return frame;
}

void AppDelegate::fitWindowToScreen(QWidget *window, QScreen *screen) {
    // Without a screen there is no area to fit to: an all-zero one would
    // shrink the window to nothing.
    if (!window || !screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect frame = window->geometry();
    // Width first and applied on its own, then height.
    const QRect widthFitted = fittedFrame(frame, QRect(available.x(), available.y(), available.width(),
                                                       std::max(frame.height(), available.height())));
    if (widthFitted != frame)
        window->setGeometry(widthFitted);
    const QRect fitted = fittedFrame(widthFitted, available);
    if (fitted != widthFitted)
        window->setGeometry(fitted);
}

void AppDelegate::updateAppLanguage() {
    loadMainWindow();
    initialDefaultRealmValue();
    m_dependencies->getCrossPromoConfig();
}

void AppDelegate::applicationDidBecomeActive() {
    m_dependencies->getUserProfile([](const platform::Error &error) {
        DevLogger::logError(error, QString::fromLatin1(kProfileFailureMessage));
    });
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
    if (!hasVisibleWindows && m_windowController)
        m_windowController->showWindow();
    return !hasVisibleWindows;
}

void AppDelegate::activateMainWindow() {
    QMainWindow *window = m_windowController ? m_windowController->window() : nullptr;
    applicationShouldHandleReopen(window && window->isVisible());
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

void AppDelegate::applicationWillTerminate() {
    m_dependencies->trackEvent(QString::fromLatin1(QVAnalyticsManager::kCategoryApp),
                               QString::fromLatin1(QVAnalyticsManager::kActionAppClose),
                               {{QString::fromLatin1(QVAnalyticsManager::kParamSource), m_source}});
    // The event above must leave before the process ends; the flush has its own time limit.
    m_dependencies->flushAnalytics();
}

void AppDelegate::attachToApplication(QGuiApplication *application) {
    connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationDidBecomeActive();
    });
    connect(application, &QCoreApplication::aboutToQuit, this, [this] { applicationWillTerminate(); });
}

// Asked for by the user, so a copy without a feed says it cannot check.
void AppDelegate::checkForUpdates() {
    if (!m_dependencies->checkForUpdates())
        m_dependencies->showNotice(QString::fromLatin1(kCheckForUpdatesTitle),
                                   QString::fromLatin1(kNoFeedText), QUrl());
}

void AppDelegate::observeRatingPrompt() {
    const std::pair<const char *, void (AppDelegate::*)()> observers[] = {
        {kDidPromptForRating, &AppDelegate::iRateDidPromptForRating},
        {kUserDidAttemptToRateApp, &AppDelegate::iRateUserDidAttemptToRateApp},
        {kUserDidDeclineToRateApp, &AppDelegate::iRateUserDidDeclineToRateApp},
        {kUserDidRequestReminderToRateApp, &AppDelegate::iRateUserDidRequestReminderToRateApp},
    };
    QPointer<AppDelegate> self(this);
    for (const auto &[name, method] : observers) {
        const auto handler = method;
        m_observers.append(m_dependencies->observe(QString::fromLatin1(name), [self, handler] {
            if (self)
                (self.data()->*handler)();
        }));
    }
}

void AppDelegate::sendRateEvent(const char *action) {
    m_dependencies->trackEvent(QString::fromLatin1(QVAnalyticsManager::kCategoryRateAlert),
                               QString::fromLatin1(action), {});
}

void AppDelegate::iRateDidPromptForRating() {
    sendRateEvent(kActionRateShown);
}

void AppDelegate::iRateUserDidAttemptToRateApp() {
    sendRateEvent(kActionRateClick);
}

void AppDelegate::iRateUserDidDeclineToRateApp() {
    sendRateEvent(kActionRateCancel);
}

void AppDelegate::iRateUserDidRequestReminderToRateApp() {
    sendRateEvent(kActionRateNotNow);
    if (const auto prompt = m_dependencies->ratingPrompt())
        prompt->setEventCount(0);
}

void AppDelegate::showUpdateNotice(const QString &version, const QUrl &downloadPage) {
    m_dependencies->showNotice(
        QString::fromLatin1(kUpdateTitle),
        platform::format(QString::fromLatin1(kUpdateFormat), version, QVMUtils::getAppVersionFromBundle()),
        downloadPage);
}
