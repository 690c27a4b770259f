#pragma once

#include "services/analytics/QVAnalyticsSinks.h"
#include "services/analytics/QVAnalyticsUploader.h"

#include <QMap>
#include <QPair>

// Web analytics over the tracking HTTP API: each view or event becomes one
// tracking request ("?idsite=15&rec=1&..."), and the queued requests go out as
// one bulk POST {"requests": [...]} to the endpoint every interval. Every
// request carries the visitor id, the user id once set and the custom
// variables of the visit ("_cvar"); a campaign rides on the next request.
class QVMatomoSink : public QVWebAnalyticsSink {
public:
    QVMatomoSink(const QString &siteId, QVAnalyticsUploader::Endpoint endpoint, const QString &visitorId,
                 int dispatchIntervalMs);

    void trackView(const QStringList &path) override;
    void trackEvent(const QString &category, const QString &action, const QString &name,
                    const std::optional<double> &value) override;
    void setCustomVariable(int index, const QString &name, const QString &value) override;
    void setUserId(const QString &userId) override;
    void trackCampaign(const QString &name, const QString &keyword) override;
    void flush(int timeoutMs) override;

    QVAnalyticsUploader &uploader() { return m_uploader; }

private:
    void enqueue(QList<QPair<QString, QString>> items);
    QString actionUrl(const QStringList &path) const;

    QString m_siteId;
    QString m_visitorId;
    QString m_userId;
    QMap<int, QPair<QString, QString>> m_customVariables;
    QPair<QString, QString> m_campaign;
    QVAnalyticsUploader m_uploader;
};
