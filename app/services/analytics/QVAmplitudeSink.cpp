#include "services/analytics/QVAmplitudeSink.h"

#include "platform/Bundle.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QUuid>

QVAmplitudeSink::QVAmplitudeSink(const QString &apiKey, QVAnalyticsUploader::Endpoint endpoint,
                                 const QString &deviceId, int dispatchIntervalMs)
    : m_deviceId(deviceId), m_uploader(
                                std::move(endpoint),
                                [apiKey](const QJsonArray &events) {
                                    return QJsonDocument(QJsonObject{{QStringLiteral("api_key"), apiKey},
                                                                     {QStringLiteral("events"), events}})
                                        .toJson(QJsonDocument::Compact);
                                },
                                dispatchIntervalMs) {}

void QVAmplitudeSink::logEvent(const QString &eventType, const QVariantMap &properties) {
    QJsonObject event{
        {QStringLiteral("event_type"), eventType},
        {QStringLiteral("device_id"), m_deviceId},
        {QStringLiteral("time"), QDateTime::currentMSecsSinceEpoch()},
        {QStringLiteral("insert_id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
        {QStringLiteral("platform"), QStringLiteral("Linux")},
        {QStringLiteral("os_name"), QSysInfo::productType()},
        {QStringLiteral("os_version"), QSysInfo::productVersion()},
        {QStringLiteral("app_version"), platform::Bundle::shortVersionString()},
        {QStringLiteral("event_properties"), QJsonObject::fromVariantMap(properties)},
    };
    if (!m_userId.isEmpty())
        event.insert(QStringLiteral("user_id"), m_userId);
    if (!m_userProperties.isEmpty())
        event.insert(QStringLiteral("user_properties"), QJsonObject::fromVariantMap(m_userProperties));
    m_uploader.enqueue(event);
}

void QVAmplitudeSink::clearUserProperties() {
    m_userProperties.clear();
}

void QVAmplitudeSink::setUserProperties(const QVariantMap &properties) {
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        m_userProperties.insert(it.key(), it.value());
}

void QVAmplitudeSink::setUserId(const QString &userId) {
    m_userId = userId;
}

void QVAmplitudeSink::flush(int timeoutMs) {
    m_uploader.flush(timeoutMs);
}
