#include "Error.h"

namespace platform {

Error::Error(QString domain, qint64 code, QString description, QVariantMap userInfo)
    : m_null(false), m_domain(std::move(domain)), m_code(code), m_description(std::move(description)),
      m_userInfo(std::move(userInfo)) {
    if (!m_description.isEmpty() && !m_userInfo.contains(kLocalizedDescriptionKey))
        m_userInfo.insert(kLocalizedDescriptionKey, m_description);
}

QString Error::localizedDescription() const {
    if (!m_description.isEmpty())
        return m_description;
    const QString fromInfo = m_userInfo.value(kLocalizedDescriptionKey).toString();
    if (!fromInfo.isEmpty())
        return fromInfo;
    // Concatenated, not QString::arg: a domain may itself hold "%2".
    return QStringLiteral("The operation couldn't be completed. (") + m_domain + QStringLiteral(" error ") +
           QString::number(m_code) + QStringLiteral(".)");
}

} // namespace platform
