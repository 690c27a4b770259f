#pragma once

#include "platform/Error.h"
#include "platform/NotificationCenter.h"
#include "platform/store/ObjectStore.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

class QMainWindow;
class QVMRatingPrompt;

// What the delegate needs of a main window controller: the real one wraps
// QVGeneralWindowController, tests use a plain window.
class QVMainWindowHandle {
public:
    virtual ~QVMainWindowHandle() = default;
    virtual QMainWindow *window() const = 0;
    virtual void showWindow() = 0;
    virtual void close() = 0;
};

// How opening the default store went, for the delegate to tell the user.
struct QVStoreOpening {
    platform::Error error;                   // null when the store opened
    QString path;                            // the store's file
    QList<platform::SalvageReport> salvages; // damaged files recovered, not yet told
};

// Everything the launch sequence and the lifecycle call outside the delegate,
// one operation per step, so a test can replace them all and record the order.
// QVSystemLaunchDependencies is the application's; main thread only.
class QVLaunchDependencies {
public:
    virtual ~QVLaunchDependencies() = default;

    // Once, before the launch (the class-level set-up).
    virtual void configureRatingPrompt() = 0;
    virtual std::shared_ptr<QVMRatingPrompt> ratingPrompt() = 0;

    // The launch steps, in their order.
    virtual void configureScreenArbiter() = 0;
    virtual void initializeProductAnalytics() = 0;
    virtual QVStoreOpening migrationRealm() = 0;
    virtual void acknowledgeSalvageReports() = 0;
    virtual void createOfflineBridge() = 0;
    virtual void initializeDefaultLanguages() = 0;
    virtual void refreshDefaultLanguages() = 0;
    virtual void addService() = 0;
    virtual void initializeTracking() = 0;
    virtual void lazyRemoteNotifications() = 0;
    virtual void lazyFirebase() = 0;
    virtual void getRemoteSettings(bool launch) = 0;
    virtual void startObservingShortcuts() = 0;
    virtual void applyStoredInterfaceLanguage() = 0;
    virtual std::unique_ptr<QVMainWindowHandle> makeMainWindowController(platform::Error *error) = 0;
    virtual QString installationIdentifier() = 0;
    virtual platform::NotificationCenter::Token observe(const QString &name, std::function<void()> block) = 0;
    virtual void removeObserver(platform::NotificationCenter::Token token) = 0;
    virtual void trackEvent(const QString &category, const QString &action, const QVariantMap &params) = 0;
    virtual QUrl documentsDirectory() = 0;
    virtual bool hasAuthToken() = 0;
    virtual void updateShowRegistrationOfferFlag() = 0;
    virtual void setCustomVariables() = 0;
    virtual void
    observeUpdateAvailable(std::function<void(const QString &version, const QUrl &page)> block) = 0;

    // Later events.
    virtual void getCrossPromoConfig() = 0;
    // False when no update feed is configured (nothing was asked).
    virtual bool checkForUpdates() = 0;
    using ProfileFailure = std::function<void(const platform::Error &error)>;
    virtual void getUserProfile(ProfileFailure failure) = 0;
    virtual void flushAnalytics() = 0;

    // Tells the user something without blocking (a window they close), or,
    // for what stops the launch, with an answer awaited.
    virtual void showNotice(const QString &title, const QString &text, const QUrl &link = {}) = 0;
    virtual void showBlockingAlert(const QString &title, const QString &text) = 0;
};
