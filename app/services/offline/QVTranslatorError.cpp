#include "services/offline/QVTranslatorError.h"

namespace QVTranslatorError {

platform::Error error(qint64 code, const QString &description) {
    return platform::Error(QString::fromLatin1(kDomain), code, description,
                           {{QString::fromLatin1(platform::Error::kLocalizedDescriptionKey), description}});
}

bool isCancellation(const platform::Error &error) {
    return !error.isNull() && error.domain() == QLatin1String(kDomain) && error.code() == Cancelled;
}

platform::Error fromEngineError(const SYNError &engineError) {
    if (!engineError.isError())
        return {};
    const QString description = QString::fromStdString(engineError.description);
    QVariantMap userInfo;
    for (const auto &[key, value] : engineError.userInfo)
        userInfo.insert(QString::fromStdString(key), QString::fromStdString(value));
    userInfo.insert(QString::fromLatin1(SYNTranslatePhraseService::kCodeKey), engineError.codeONMT);
    userInfo.insert(QString::fromLatin1(platform::Error::kLocalizedDescriptionKey), description);
    const QString domain = engineError.domain.empty() ? QStringLiteral("SYNTranslatePhraseService")
                                                      : QString::fromStdString(engineError.domain);
    return platform::Error(domain, engineError.code, description, userInfo);
}

} // namespace QVTranslatorError
