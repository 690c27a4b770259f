#pragma once

#include "platform/Error.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariant>

#include <functional>

class QVUpdateChecker;

// The configuration run at launch: the default remote-settings record when none
// is stored, the launch counter, the start of the backend client, the
// cross-promotion list, the backend's configuration (replacing the stored record
// whole), the update feed and the one-time install thank-you page.
//
//   QVConfigurationPipeline::shared().getRemoteSettings(true);   // launch
//   QVConfigurationPipeline::shared().getCrossPromoConfig();     // interface language changed
//
// Main thread only. Nothing here waits for the network: the backend's answers
// arrive later on the main thread.
class QVConfigurationPipeline : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kApplicationKey = "3c9e1a7f5b2d8046ce13f97a2b5d0e8461c7fa93";
    static constexpr const char *kThankYouPageKey = "thank_you_install_page";
    static constexpr int kUpdateCheckIntervalSeconds = 10800;
    static constexpr int kRecheckIntervalMs = 2000;
    // The stored address only changes with the next configuration, which comes at the next
    // launch: after a minute of re-checks the page is left for then.
    static constexpr int kMaxRechecks = 30;

    static constexpr const char *kStepLog = "__%@__";
    static constexpr const char *kGetRemoteSettingsStep = "getRemoteSettings";
    static constexpr const char *kCreateDefaultStep = "WILL_CREATE_DEFAUKT_REALM_BASE";
    static constexpr const char *kCrossPromoStep = "getCrossPromoConfig";
    static constexpr const char *kCrossPromoSavedStep = "__CROSS__PROMO__SAVED__";
    static constexpr const char *kNotYetSyncedLog = "[remote] interrupted - merovantia not yet synced";
    static constexpr const char *kDisabledLog = "[remote] interrupted - disabled by merovantia";
    static constexpr const char *kOpenedPreviouslyLog = "[remote] interrupted - page was opened previously";
    static constexpr const char *kNoBackendNoRecheckLog =
        "[configuration] no backend configured: the install page is not asked for again";
    static constexpr const char *kRecheckGivenUpLog =
        "[remote] thank-you page re-check stopped after %ld tries";
    static constexpr const char *kOpenFailedLog = "[remote] thank-you page could not be opened";
    static constexpr const char *kRemoteSettingsMessage = "getRemoteSettings:";
    static constexpr const char *kCrossPromoMessage = "getCrossPromoConfig";
    static constexpr const char *kPiwikAnalyticsIdKey = "PiwikAnalyticsId";
    // The crash reporter's custom key for the locale's language code.
    static constexpr const char *kLocaleLanguageCodeKey = "kCFLocaleLanguageCodeKey";

    static QVConfigurationPipeline &shared();

    void getRemoteSettings(bool launch);
    void setUserId(const QString &userId);
    void getCrossPromoConfig();
    void handleURLopening();
    // https://<host and path of baseURL>?platform=macos&subplatform=...&uuid=...; invalid for
    // a base without a host. The product name is not used (callers pass none).
    static QUrl prepareURLtoOpenFromBaseURL(const QString &baseURL, const QString &productName = {});
    // "mac_store", "quorvalde" or "-" for the running bundle.
    static QString subplatform();

    // Test seams. The backend client (Merovantia unless replaced).
    using ObjectBlock = std::function<void(const QVariant &object, const platform::Error &error)>;
    struct BackendClient {
        std::function<void(const QString &appKey, const std::function<void(const QString &uuid)> &block)>
            initializeWithAppKey;
        std::function<void(ObjectBlock block)> getConfigInBackgroundWithBlock;
        std::function<void(const QString &language, ObjectBlock callback)> getCrossPromoForLang;
    };
    static BackendClient defaultBackendClient();
    void setBackendClient(const BackendClient &client);
    // Opens the page in the browser; false when it could not be opened.
    using UrlOpener = std::function<bool(const QUrl &url)>;
    void setUrlOpener(UrlOpener opener);             // empty: QVMLinkOpener, quietly
    void setUpdateChecker(QVUpdateChecker *checker); // null: QVUpdateChecker::shared()
    void setRecheckIntervalMs(int ms);
    // Runs inside the replacement's transaction after the new record is made and before it
    // is linked; a throw there stands for a replacement failing half way.
    void setReplacementProbe(std::function<void()> probe);
    // Re-checks scheduled since the stored address was last something else.
    int recheckCount() const { return m_rechecks; }
    // Back to the state of a fresh process (tests).
    void reset();

    // The configuration block of getRemoteSettings.
    void applyConfiguration(const QVariant &configuration, const platform::Error &error, bool launch);

private:
    QVConfigurationPipeline() = default;
    void createDefaultRecordIfNeeded();
    bool replaceRecord(const QVariantMap &configuration);
    void configureUpdates();
    void openThankYouPage(const QString &base);
    QVUpdateChecker &updateChecker() const;

    BackendClient m_backend = defaultBackendClient();
    UrlOpener m_opener;
    QPointer<QVUpdateChecker> m_checker;
    bool m_usesSharedChecker = true;
    std::function<void()> m_probe;
    int m_recheckIntervalMs = kRecheckIntervalMs;
    int m_rechecks = 0;
    bool m_recheckPending = false;
    bool m_opening = false;
    quint64 m_generation = 0; // drops re-checks scheduled before a reset
};
