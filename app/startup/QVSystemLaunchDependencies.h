#pragma once

#include "startup/QVLaunchDependencies.h"

// The application's launch dependencies: the shared services themselves.
class QVSystemLaunchDependencies : public QVLaunchDependencies {
public:
    static constexpr const char *kCrashOnExceptionsKey = "NSApplicationCrashOnExceptions";
    static constexpr const char *kMainStoryboard = "Main";
    static constexpr const char *kMainWindowIdentifier = "QVGeneralWindowController";
    static constexpr const char *kOpenLinkTitle = "Download";

    void configureRatingPrompt() override;
    std::shared_ptr<QVMRatingPrompt> ratingPrompt() override;
    void configureScreenArbiter() override;
    void initializeProductAnalytics() override;
    QVStoreOpening migrationRealm() override;
    void acknowledgeSalvageReports() override;
    void createOfflineBridge() override;
    void initializeDefaultLanguages() override;
    void refreshDefaultLanguages() override;
    void addService() override;
    void initializeTracking() override;
    void lazyRemoteNotifications() override;
    void lazyFirebase() override;
    void getRemoteSettings(bool launch) override;
    void startObservingShortcuts() override;
    void applyStoredInterfaceLanguage() override;
    std::unique_ptr<QVMainWindowHandle> makeMainWindowController(platform::Error *error) override;
    QString installationIdentifier() override;
    platform::NotificationCenter::Token observe(const QString &name, std::function<void()> block) override;
    void removeObserver(platform::NotificationCenter::Token token) override;
    void trackEvent(const QString &category, const QString &action, const QVariantMap &params) override;
    QUrl documentsDirectory() override;
    bool hasAuthToken() override;
    void updateShowRegistrationOfferFlag() override;
    void setCustomVariables() override;
    void observeUpdateAvailable(std::function<void(const QString &, const QUrl &)> block) override;
    void getCrossPromoConfig() override;
    bool checkForUpdates() override;
    void getUserProfile(ProfileFailure failure) override;
    void flushAnalytics() override;
    void showNotice(const QString &title, const QString &text, const QUrl &link) override;
    void showBlockingAlert(const QString &title, const QString &text) override;
};
