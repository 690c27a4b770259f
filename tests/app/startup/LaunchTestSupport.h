#pragma once

#include "app/core/RecordingCrashReporter.h"
#include "startup/AppDelegate.h"
#include "startup/QVLaunchDependencies.h"
#include "ui/foundation/QVMInterfaceHooks.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace launchtest {

// A main window that says when it is shown and closed.
class RecordingWindow : public QVMainWindowHandle {
public:
    RecordingWindow(QStringList *calls, int number) : m_calls(calls), m_number(number) {
        m_window = new QMainWindow;
        m_window->setGeometry(100, 100, 400, 300);
    }
    ~RecordingWindow() override { delete m_window; }
    QMainWindow *window() const override { return m_window; }
    void showWindow() override {
        m_calls->append(QStringLiteral("showWindow %1").arg(m_number));
        m_window->show();
    }
    void close() override {
        m_calls->append(QStringLiteral("close %1").arg(m_number));
        m_window->close();
    }

private:
    QStringList *m_calls;
    int m_number;
    QPointer<QMainWindow> m_window;
};

class RecordingPrompt : public QVMRatingPrompt {
public:
    void logEvent(bool) override { ++count; }
    quint64 eventCount() const override { return count; }
    void setEventCount(quint64 value) override { count = value; }
    void promptIfAllCriteriaMet() override {}
    quint64 count = 0;
};

// Every launch dependency as a line in `calls`, in the order made.
class RecordingDependencies : public QVLaunchDependencies {
public:
    explicit RecordingDependencies(QStringList *calls) : calls(calls) {}

    void configureRatingPrompt() override { record("configureRatingPrompt"); }
    std::shared_ptr<QVMRatingPrompt> ratingPrompt() override { return prompt; }
    void configureScreenArbiter() override { record("configureScreenArbiter"); }
    void initializeProductAnalytics() override { record("initializeProductAnalytics"); }
    QVStoreOpening migrationRealm() override {
        record("migrationRealm");
        return opening ? opening() : QVStoreOpening{};
    }
    void acknowledgeSalvageReports() override { record("acknowledgeSalvageReports"); }
    void createOfflineBridge() override { record("createOfflineBridge"); }
    void initializeDefaultLanguages() override { record("initializeDefaultLanguages"); }
    void refreshDefaultLanguages() override { record("refreshDefaultLanguages"); }
    void addService() override { record("addService"); }
    void initializeTracking() override { record("initializeTracking"); }
    void lazyRemoteNotifications() override { record("lazyRemoteNotifications"); }
    void lazyFirebase() override { record("lazyFirebase"); }
    void getRemoteSettings(bool launch) override {
        record(launch ? "getRemoteSettings launch" : "getRemoteSettings");
    }
    void startObservingShortcuts() override { record("startObservingShortcuts"); }
    void applyStoredInterfaceLanguage() override { record("applyStoredInterfaceLanguage"); }
    std::unique_ptr<QVMainWindowHandle> makeMainWindowController(platform::Error *error) override {
        record("makeMainWindowController");
        if (failWindow) {
            *error = platform::Error(QStringLiteral("test"), 1, QStringLiteral("no window"));
            return nullptr;
        }
        return std::make_unique<RecordingWindow>(calls, ++windows);
    }
    QString installationIdentifier() override {
        record("installationIdentifier");
        return QStringLiteral("uuid-1");
    }
    platform::NotificationCenter::Token observe(const QString &name, std::function<void()> block) override {
        record("observe " + name);
        return platform::NotificationCenter::defaultCenter().addObserver(
            name, [block = std::move(block)](const QVariantMap &) { block(); });
    }
    void removeObserver(platform::NotificationCenter::Token token) override {
        platform::NotificationCenter::defaultCenter().removeObserver(token);
    }
    void trackEvent(const QString &category, const QString &action, const QVariantMap &params) override {
        QStringList pairs;
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            pairs << it.key() + "=" + it.value().toString();
        record(QStringLiteral("event %1/%2 {%3}").arg(category, action, pairs.join(',')));
    }
    QUrl documentsDirectory() override {
        record("documentsDirectory");
        return QUrl::fromLocalFile(QStringLiteral("/home/user/Documents/"));
    }
    bool hasAuthToken() override {
        record("hasAuthToken");
        return token;
    }
    void updateShowRegistrationOfferFlag() override { record("updateShowRegistrationOfferFlag"); }
    void setCustomVariables() override { record("setCustomVariables"); }
    void observeUpdateAvailable(std::function<void(const QString &, const QUrl &)> block) override {
        record("observeUpdateAvailable");
        updateAvailable = std::move(block);
    }
    void releaseOfflineEngine() override { record("releaseOfflineEngine"); }
    void getCrossPromoConfig() override { record("getCrossPromoConfig"); }
    bool checkForUpdates() override {
        record("checkForUpdates");
        return hasUpdateFeed;
    }
    void getUserProfile(ProfileFailure failure) override {
        record("getUserProfile");
        profileFailure = std::move(failure);
    }
    void flushAnalytics() override { record("flushAnalytics"); }
    void showNotice(const QString &title, const QString &text, const QUrl &link) override {
        record("showNotice " + title);
        notices.append({title, text, link});
    }
    void showBlockingAlert(const QString &title, const QString &text) override {
        record("showBlockingAlert " + title);
        notices.append({title, text, QUrl()});
    }

    struct Notice {
        QString title, text;
        QUrl link;
    };

    void record(const QString &call) { calls->append(call); }

    QStringList *calls;
    std::function<QVStoreOpening()> opening;
    bool failWindow = false;
    bool hasUpdateFeed = true;
    bool token = false;
    int windows = 0;
    std::shared_ptr<RecordingPrompt> prompt = std::make_shared<RecordingPrompt>();
    std::function<void(const QString &, const QUrl &)> updateAvailable;
    ProfileFailure profileFailure;
    QList<Notice> notices;
};

} // namespace launchtest
