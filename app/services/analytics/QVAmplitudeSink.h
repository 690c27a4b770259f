#pragma once

#include "services/analytics/QVAnalyticsSinks.h"
#include "services/analytics/QVAnalyticsUploader.h"

// Product analytics over the HTTP event API: events queue as
// {"event_type", "event_properties", "user_properties", "user_id", "device_id",
// "time", "insert_id", ...} and go out every interval as one POST
// {"api_key": key, "events": [...]}. User properties and the user id in force
// when an event is logged travel with it.
class QVAmplitudeSink : public QVProductAnalyticsSink {
public:
    QVAmplitudeSink(const QString &apiKey, QVAnalyticsUploader::Endpoint endpoint, const QString &deviceId,
                    int dispatchIntervalMs);

    void logEvent(const QString &eventType, const QVariantMap &properties) override;
    void clearUserProperties() override;
    void setUserProperties(const QVariantMap &properties) override;
    void setUserId(const QString &userId) override;
    void flush(int timeoutMs) override;

    QVAnalyticsUploader &uploader() { return m_uploader; }

private:
    QString m_deviceId;
    QString m_userId;
    QVariantMap m_userProperties;
    QVAnalyticsUploader m_uploader;
};
