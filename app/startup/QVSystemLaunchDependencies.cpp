#include "startup/QVSystemLaunchDependencies.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/QVScreenPresentManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVAuthService.h"
#include "core/settings/QVSettingsService.h"
#include "core/settings/QVTranslateSettings.h"
#include "platform/AppPaths.h"
#include "platform/CrashReporter.h"
#include "platform/UserDefaults.h"
#include "services/QVAuthRequestManager.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/languages/QVLanguageService.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/push/QVPushNotificationController.h"
#include "startup/AppDelegate.h"
#include "startup/QVConfigurationCalls.h"
#include "startup/QVLaunchHooks.h"
#include "startup/QVStoreMigration.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/window/QVGeneralWindowController.h"
#include "ui/window/QVMFirstFrame.h"

#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

namespace {

class GeneralWindowHandle : public QVMainWindowHandle {
public:
    explicit GeneralWindowHandle(QVGeneralWindowController *controller) : m_controller(controller) {}
    QMainWindow *window() const override { return m_controller->window(); }
    void showWindow() override { m_controller->showWindow(); }
    void close() override { m_controller->close(); }

private:
    std::unique_ptr<QVGeneralWindowController> m_controller;
};

void logIfFailed(const platform::Error &error, const char *message) {
    if (error)
        DevLogger::logError(error, QString::fromLatin1(message));
}

} // namespace

void QVSystemLaunchDependencies::configureRatingPrompt() {
    QVMInterfaceHooks::shared().ratingPrompt = QVConfigurationCalls::ratingPrompt();
}

std::shared_ptr<QVMRatingPrompt> QVSystemLaunchDependencies::ratingPrompt() {
    return QVMInterfaceHooks::shared().ratingPrompt;
}

void QVSystemLaunchDependencies::configureScreenArbiter() {
    QVScreenPresentManager::shared().setScreenMode(AppDelegate::kScreenMode);
    QVScreenPresentManager::shared().setScreenType(AppDelegate::kScreenType);
}

void QVSystemLaunchDependencies::initializeProductAnalytics() {
    // The manager's product sink is created with kProductAnalyticsKey.
    QVAnalyticsManager::shared();
}

QVStoreOpening QVSystemLaunchDependencies::migrationRealm() {
    QVStoreOpening opening;
    opening.error = QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock());
    const QString configured = QVStoreConfiguration::defaultConfiguration().path;
    opening.path = configured.isEmpty()
                       ? QDir(platform::AppPaths::state()).filePath(QStringLiteral("default.sqlite"))
                       : configured;
    if (opening.error)
        return opening;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    opening.path = store.path();
    opening.salvages = store.pendingSalvageReports();
    return opening;
}

void QVSystemLaunchDependencies::acknowledgeSalvageReports() {
    logIfFailed(platform::ObjectStore::defaultStore().acknowledgeSalvageReports(),
                "acknowledgeSalvageReports");
}

void QVSystemLaunchDependencies::createOfflineBridge() {
    // Says once, at start, when no backend is configured and translation is offline.
    QVMUtils::isNetworkAvailable();
    QVMSynaptraService::sharedInstance().holdLoads();
}

void QVSystemLaunchDependencies::releaseOfflineEngine() {
    QVMSynaptraService::sharedInstance().releaseLoads();
}

void QVSystemLaunchDependencies::initializeDefaultLanguages() {
    logIfFailed(QVLanguageService::initializeDefaultLanguages(), "initializeDefaultLanguages");
}

void QVSystemLaunchDependencies::refreshDefaultLanguages() {
    QVLanguageService::initializeDefaultLanguagesWithCompletion([](bool) {});
}

void QVSystemLaunchDependencies::addService() {
    QVLaunchHooks::run(QVLaunchHooks::shared().addService, "addService");
}

void QVSystemLaunchDependencies::initializeTracking() {
    QVAnalyticsManager::initializeTracking();
}

// Registering asks the session bus and waits for its answers: once the window is on the screen.
void QVSystemLaunchDependencies::lazyRemoteNotifications() {
    QVMFirstFrame::whenDrawn([] { QVPushNotificationController::shared().lazyRemoteNotifications(); });
}

void QVSystemLaunchDependencies::lazyFirebase() {
    // Registered, so a value the user stored still wins.
    QVMUtils::sharedDefaults().registerDefaults({{QString::fromLatin1(kCrashOnExceptionsKey), true}});
    platform::CrashReporter::shared();
}

void QVSystemLaunchDependencies::getRemoteSettings(bool launch) {
    QVConfigurationCalls::getRemoteSettings(launch);
}

// Grabbing the keys waits for the X server's answers: once the window is on the screen.
void QVSystemLaunchDependencies::startObservingShortcuts() {
    QVMFirstFrame::whenDrawn([] {
        QVLaunchHooks::run(QVLaunchHooks::shared().startObservingShortcuts, "startObservingShortcuts");
    });
}

void QVSystemLaunchDependencies::applyStoredInterfaceLanguage() {
    const QString language = QVMUtils::sharedDefaults().stringForKey(
        QString::fromLatin1(DJLocalizationSystem::kUserDefaultAppLanguage));
    if (!language.isEmpty())
        DJLocalizationSystem::shared().setLanguage(language);
}

std::unique_ptr<QVMainWindowHandle>
QVSystemLaunchDependencies::makeMainWindowController(platform::Error *error) {
    auto *controller = QVMInterfaceFactory::shared().instantiateController<QVGeneralWindowController>(
        QString::fromLatin1(kMainStoryboard), QString::fromLatin1(kMainWindowIdentifier), nullptr, error);
    if (!controller)
        return nullptr;
    return std::make_unique<GeneralWindowHandle>(controller);
}

QString QVSystemLaunchDependencies::installationIdentifier() {
    return QVSettingsService::defaultSettings().uuid();
}

platform::NotificationCenter::Token QVSystemLaunchDependencies::observe(const QString &name,
                                                                        std::function<void()> block) {
    return platform::NotificationCenter::defaultCenter().addObserver(
        name, [block = std::move(block)](const QVariantMap &) { block(); });
}

void QVSystemLaunchDependencies::removeObserver(platform::NotificationCenter::Token token) {
    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

void QVSystemLaunchDependencies::trackEvent(const QString &category, const QString &action,
                                            const QVariantMap &params) {
    QVAnalyticsManager::trackEventWithCategory(category, action, params);
}

QUrl QVSystemLaunchDependencies::documentsDirectory() {
    return QUrl::fromLocalFile(platform::AppPaths::documents() + QLatin1Char('/'));
}

bool QVSystemLaunchDependencies::hasAuthToken() {
    return !QVAuthService::authToken().isEmpty();
}

void QVSystemLaunchDependencies::updateShowRegistrationOfferFlag() {
    logIfFailed(QVTranslateSettings::updateShowRegistrationOfferFlag(), "updateShowRegistrationOfferFlag");
}

void QVSystemLaunchDependencies::setCustomVariables() {
    QVAnalyticsManager::setCustomVariables();
}

void QVSystemLaunchDependencies::observeUpdateAvailable(
    std::function<void(const QString &, const QUrl &)> block) {
    QVConfigurationCalls::observeUpdateAvailable(std::move(block));
}

void QVSystemLaunchDependencies::getCrossPromoConfig() {
    QVConfigurationCalls::getCrossPromoConfig();
}

bool QVSystemLaunchDependencies::checkForUpdates() {
    return QVConfigurationCalls::checkForUpdates();
}

void QVSystemLaunchDependencies::getUserProfile(ProfileFailure failure) {
    QVAuthRequestManager::getUserSuccess([](const QVariant &) {}, std::move(failure));
}

void QVSystemLaunchDependencies::flushAnalytics() {
    QVAnalyticsManager::shared().flush();
}

void QVSystemLaunchDependencies::showNotice(const QString &title, const QString &text, const QUrl &link) {
    auto *box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Close);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    if (link.isValid()) {
        QPushButton *open = box->addButton(QString::fromLatin1(kOpenLinkTitle), QMessageBox::AcceptRole);
        QObject::connect(open, &QPushButton::clicked, [link] { QVMLinkOpener::open(link); });
    }
    box->show();
}

void QVSystemLaunchDependencies::showBlockingAlert(const QString &title, const QString &text) {
    QVMUtils::showAlertWithTitle(title, text, QVLocalizedString(QStringLiteral("_loc_button_ok")), {});
}
