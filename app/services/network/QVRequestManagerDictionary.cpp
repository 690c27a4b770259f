#include "services/network/QVRequestManager.h"

#include "platform/MainQueue.h"

namespace {

MFURLSessionTaskPtr failWithoutSending(const QVRequestManager::ErrorBlock &failure) {
    platform::dispatchAsyncMain([failure] {
        if (failure)
            failure(platform::Error());
    });
    return nullptr;
}

platform::Error feedbackError(const QVariant &reply) {
    const QVariant err = reply.toMap().value(QStringLiteral("err"));
    const QString text = err.typeId() == QMetaType::QString ? err.toString() : QString();
    return platform::Error(QString::fromLatin1(QVRequestManager::kFeedbackErrorDomain),
                           QVRequestManager::kBadReplyCode,
                           text.isEmpty() ? QString::fromLatin1(QVRequestManager::kFeedbackFailed) : text);
}

} // namespace

MFURLSessionTaskPtr QVRequestManager::getWordDictionaryMeaningForText(const QString &text,
                                                                      const QString &fromLang,
                                                                      const QString &toLang,
                                                                      ResultSuccess success,
                                                                      ErrorBlock failure) {
    if (text.isEmpty() || fromLang.isEmpty() || toLang.isEmpty())
        return failWithoutSending(failure);
    const QString request = QStringLiteral("dictionary");
    const QString url =
        request + QLatin1Char('?') +
        encodedQuery({{QStringLiteral("text"), text}, {QStringLiteral("lang"), fromLang + '-' + toLang}});
    return GET(url, QVariant(),
               resultHandler(
                   request,
                   [success = std::move(success)](const QVariant &result) {
                       if (success)
                           success(result);
                   },
                   failure),
               failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::sendFeedBackTranslate(const QString &original,
                                                            const QString &translated,
                                                            const QString &modified, const QString &from,
                                                            const QString &to, const QString &translatorName,
                                                            BoolSuccess success, ErrorBlock failure) {
    if (original.isEmpty() || modified.trimmed().isEmpty() || from.isEmpty() || to.isEmpty())
        return failWithoutSending(failure);
    const QVariantMap parameters{{QStringLiteral("from"), from},
                                 {QStringLiteral("to"), to},
                                 {QStringLiteral("source"), original},
                                 {QStringLiteral("target"), modified},
                                 {QStringLiteral("translatorName"), translatorName},
                                 {QStringLiteral("translateResult"), translated}};
    return POST(
        QStringLiteral("feedBackDictionary"), parameters,
        [success = std::move(success), failure](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const QVariantMap map = reply.toMap();
            const bool accepted = reply.typeId() == QMetaType::QVariantMap &&
                                  map.contains(QStringLiteral("err")) &&
                                  map.value(QStringLiteral("err")).typeId() == QMetaType::Nullptr;
            if (!accepted) {
                if (failure)
                    failure(feedbackError(reply));
                return;
            }
            if (success)
                success(true);
        },
        failureHandler(failure));
}
