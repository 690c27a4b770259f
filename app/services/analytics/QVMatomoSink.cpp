#include "services/analytics/QVMatomoSink.h"

#include "platform/Bundle.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTime>

QVMatomoSink::QVMatomoSink(const QString &siteId, QVAnalyticsUploader::Endpoint endpoint,
                           const QString &visitorId, int dispatchIntervalMs)
    : m_siteId(siteId), m_visitorId(visitorId),
      m_uploader(
          std::move(endpoint),
          [](const QJsonArray &requests) {
              return QJsonDocument(QJsonObject{{QStringLiteral("requests"), requests}})
                  .toJson(QJsonDocument::Compact);
          },
          dispatchIntervalMs) {}

QString QVMatomoSink::actionUrl(const QStringList &path) const {
    return QStringLiteral("http://") + platform::Bundle::bundleIdentifier() + QLatin1Char('/') +
           path.join(QLatin1Char('/'));
}

void QVMatomoSink::enqueue(QList<QPair<QString, QString>> items) {
    const QTime now = QTime::currentTime();
    QList<QPair<QString, QString>> request = {
        {QStringLiteral("idsite"), m_siteId},
        {QStringLiteral("rec"), QStringLiteral("1")},
        {QStringLiteral("apiv"), QStringLiteral("1")},
        {QStringLiteral("_id"), m_visitorId},
        {QStringLiteral("rand"), QString::number(QRandomGenerator::global()->generate())},
        {QStringLiteral("send_image"), QStringLiteral("0")},
        {QStringLiteral("h"), QString::number(now.hour())},
        {QStringLiteral("m"), QString::number(now.minute())},
        {QStringLiteral("s"), QString::number(now.second())},
    };
    if (!m_userId.isEmpty())
        request.append({QStringLiteral("uid"), m_userId});
    if (!m_customVariables.isEmpty()) {
        QJsonObject variables;
        for (auto it = m_customVariables.cbegin(); it != m_customVariables.cend(); ++it)
            variables.insert(QString::number(it.key()), QJsonArray{it.value().first, it.value().second});
        request.append({QStringLiteral("_cvar"),
                        QString::fromUtf8(QJsonDocument(variables).toJson(QJsonDocument::Compact))});
    }
    if (!m_campaign.first.isEmpty()) {
        request.append({QStringLiteral("_rcn"), m_campaign.first});
        if (!m_campaign.second.isEmpty())
            request.append({QStringLiteral("_rck"), m_campaign.second});
        m_campaign = {};
    }
    request.append(items);
    QStringList parts;
    for (const auto &[key, value] : std::as_const(request))
        parts << QString::fromLatin1(QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value));
    m_uploader.enqueue(QLatin1Char('?') + parts.join(QLatin1Char('&')));
}

void QVMatomoSink::trackView(const QStringList &path) {
    enqueue({{QStringLiteral("url"), actionUrl(path)},
             {QStringLiteral("action_name"), path.join(QLatin1Char('/'))}});
}

void QVMatomoSink::trackEvent(const QString &category, const QString &action, const QString &name,
                              const std::optional<double> &value) {
    QList<QPair<QString, QString>> items = {
        {QStringLiteral("url"), actionUrl({})},
        {QStringLiteral("e_c"), category},
        {QStringLiteral("e_a"), action},
    };
    if (!name.isEmpty())
        items.append({QStringLiteral("e_n"), name});
    if (value)
        items.append({QStringLiteral("e_v"), QString::number(*value)});
    enqueue(items);
}

void QVMatomoSink::setCustomVariable(int index, const QString &name, const QString &value) {
    m_customVariables.insert(index, {name, value});
}

void QVMatomoSink::setUserId(const QString &userId) {
    m_userId = userId;
}

void QVMatomoSink::trackCampaign(const QString &name, const QString &keyword) {
    m_campaign = {name, keyword};
}

void QVMatomoSink::flush(int timeoutMs) {
    m_uploader.flush(timeoutMs);
}
