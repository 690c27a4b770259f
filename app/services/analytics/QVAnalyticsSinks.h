#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// What the analytics facade needs of its two outside services. The
// application's implementations talk HTTP (QVMatomoSink, QVAmplitudeSink);
// tests install recording ones. Main thread only; nothing here fails towards
// the caller: a sink queues, and sends in its own time.

// Web analytics: views, events with a name and value, numbered custom
// variables of the visit, a user id and campaigns.
class QVWebAnalyticsSink {
public:
    virtual ~QVWebAnalyticsSink() = default;

    virtual void trackView(const QStringList &path) = 0;
    virtual void trackEvent(const QString &category, const QString &action, const QString &name,
                            const std::optional<double> &value) = 0;
    virtual void setCustomVariable(int index, const QString &name, const QString &value) = 0;
    virtual void setUserId(const QString &userId) = 0;
    virtual void trackCampaign(const QString &name, const QString &keyword) = 0;
    // Sends what is queued now and waits at most timeoutMs for it to arrive (quit).
    virtual void flush(int timeoutMs) = 0;
};

// Product analytics: named events with properties, user properties and a user id.
class QVProductAnalyticsSink {
public:
    virtual ~QVProductAnalyticsSink() = default;

    virtual void logEvent(const QString &eventType, const QVariantMap &properties) = 0;
    virtual void clearUserProperties() = 0;
    virtual void setUserProperties(const QVariantMap &properties) = 0;
    virtual void setUserId(const QString &userId) = 0;
    virtual void flush(int timeoutMs) = 0;
};
