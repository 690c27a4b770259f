#pragma once

#include "services/analytics/QVAnalyticsSinks.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

// The one analytics facade. An event is a category, an action and parameters;
// it goes to web analytics (from initializeTracking on) and product analytics
// (always), and user properties are mirrored into the crash reporter.
//
//   QVAnalyticsManager::initializeTracking();   // launch
//   QVAnalyticsManager::trackEventWithCategory(QVAnalyticsManager::kCategoryApp,
//                                              QVAnalyticsManager::kActionAppOpen,
//                                              QVariantMap{{"source", "user"}});
//   QVAnalyticsManager::trackViewsFromArray({"settings"});
//
// Web analytics name such an event "Properties [key: value, ...]" with string
// values cut to 100 characters (never inside a character); product analytics
// call it "category: action" and get the parameters whole. Both services queue
// and send every 30 s; what is queued at quit goes out within kQuitFlushMs.
// Main thread only; nothing here fails towards the caller.
class QVAnalyticsManager {
public:
    static constexpr const char *kSiteId = "15";
    static constexpr const char *kProductAnalyticsKey = "a4f2c8e19b3d7056e2c1f8a4973b6d05";
    static constexpr int kDispatchIntervalMs = 30000;
    static constexpr int kQuitFlushMs = 2000;
    static constexpr int kNameValueLimit = 100;
    static constexpr const char *kNull = "null";
    static constexpr const char *kVisitorIdKey = "kQVAnalyticsVisitorId";
    static constexpr const char *kTrackEventMessage = "trackEventWithCategory:action:params:";

    // Event vocabulary shared by callers.
    static constexpr const char *kCategoryApp = "APP";
    static constexpr const char *kActionAppOpen = "App Open";
    static constexpr const char *kActionAppClose = "App Close";
    static constexpr const char *kActionThankYouPageOpen = "Thank you install page open";
    static constexpr const char *kParamSource = "source";
    static constexpr const char *kCategoryRateAlert = "Rate App Alert";
    static constexpr const char *kViewStart = "start";

    static QVAnalyticsManager &shared();

    // Launch: creates the web-analytics tracker (configureMatomo).
    static void initializeTracking();
    // Creates the tracker, sets the custom variables and tracks the view ["start"].
    void configureMatomo();

    static void setUserId(const QString &userId);
    static void sendCampaign(const QString &name);
    static void trackViewsFromArray(const QStringList &views);
    static void trackEventWithCategory(const QString &category, const QString &action, const QString &name,
                                       const std::optional<double> &value);
    static void trackEventWithCategory(const QString &category, const QString &action,
                                       const QVariantMap &params);
    static void setCustomVariables();
    static void setCustomVariableForIndex(int index, const QString &name, const QString &value);
    // {"text": text}, with "null" for an empty text.
    static QVariantMap analyticsParamsWithText(const QString &text);

    // "Properties [a: 1, b: x]" (empty for no parameters).
    static QString webEventName(const QVariantMap &params);
    // "category: action", or the category alone without an action.
    static QString productEventName(const QString &category, const QString &action);
    // The first `limit` characters (grapheme clusters) of text.
    static QString truncated(const QString &text, int limit);
    // Name -> value of the user properties ("Platform", "OS", ... "Subplatform").
    static QVariantMap userProperties();
    // "quorvalde" (free build), "mac_store" (store build), or empty for any other bundle.
    static QString subplatformForBundleIdentifier(const QString &bundleIdentifier);

    bool hasWebSink() const { return bool(m_web); }
    // Tests install recording sinks; a null web sink means "not yet configured".
    void setSinks(std::unique_ptr<QVWebAnalyticsSink> web, std::unique_ptr<QVProductAnalyticsSink> product);
    // Sends what both services still hold, within kQuitFlushMs (called at quit).
    void flush(int timeoutMs = kQuitFlushMs);

    QVAnalyticsManager(const QVAnalyticsManager &) = delete;
    QVAnalyticsManager &operator=(const QVAnalyticsManager &) = delete;

private:
    QVAnalyticsManager();
    static QString visitorId();

    std::unique_ptr<QVWebAnalyticsSink> m_web;
    std::unique_ptr<QVProductAnalyticsSink> m_product;
};
