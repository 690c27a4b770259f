#pragma once

#include <QString>
#include <QVariantMap>

namespace platform {

// The application's one error value: domain, code, description and user info.
// A default-constructed Error is "no error" (a failure callback may receive none).
class Error {
public:
    Error() = default;
    Error(QString domain, qint64 code, QString description = {}, QVariantMap userInfo = {});

    bool isNull() const { return m_null; }
    explicit operator bool() const { return !m_null; }

    const QString &domain() const { return m_domain; }
    qint64 code() const { return m_code; }
    const QVariantMap &userInfo() const { return m_userInfo; }
    // The description given, else the user info's "NSLocalizedDescription", else a generic text.
    QString localizedDescription() const;

    void setUserInfoValue(const QString &key, const QVariant &value) { m_userInfo.insert(key, value); }

    static constexpr const char *kLocalizedDescriptionKey = "NSLocalizedDescription";

private:
    bool m_null = true;
    QString m_domain;
    qint64 m_code = 0;
    QString m_description;
    QVariantMap m_userInfo;
};

} // namespace platform

Q_DECLARE_METATYPE(platform::Error)
