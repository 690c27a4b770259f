#include "services/network/QVRequestManager.h"

#include "services/network/QVChecker.h"

#include "core/DevLog.h"

#include "platform/MainQueue.h"

#include <QThreadPool>

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

void QVRequestManager::lexicalMeaningFromResult(const QVariant &result, const QString &word,
                                                LexicalSuccess success, ErrorBlock failure) {
    // Building an entry of 100,000 examples takes longer than the interface may stall.
    QThreadPool::globalInstance()->start([result = QVariant(result), word, success = std::move(success),
                                          failure = std::move(failure)]() mutable {
        QVLexicalMeaning meaning;
        if (result.typeId() == QMetaType::QVariantMap)
            meaning = QVLexicalMeaning::initWithDictionary(result.toMap(), word);
        // The parsed reply is freed here, not on the main thread.
        result = QVariant();
        platform::dispatchAsyncMain(
            [meaning = std::move(meaning), success = std::move(success), failure = std::move(failure)]() mutable {
                if (meaning.isNull()) {
                    if (failure)
                        failure(badReplyError(QStringLiteral("getLexicalMeaning")));
                    return;
                }
                if (success)
                    success(meaning);
                // Freeing 100,000 examples stalls as long as building them: the pool lets go of the entry.
                QThreadPool::globalInstance()->start([entry = std::move(meaning)] {});
            });
    });
}

MFURLSessionTaskPtr QVRequestManager::getLexicalMeaningForWord(const QString &word, const QString &fromLang,
                                                               const QString &toLang, LexicalSuccess success,
                                                               ErrorBlock failure) {
    if (word.isEmpty() || fromLang.isEmpty() || toLang.isEmpty())
        return failWithoutSending(failure);
    QVChecker::check(word);
    QVChecker::check(fromLang);
    const QString request = QStringLiteral("getLexicalMeaning");
    const QVariantMap parameters{
        {QStringLiteral("word"), word}, {QStringLiteral("from"), fromLang}, {QStringLiteral("to"), toLang}};
    return POST(request, parameters,
                resultHandler(
                    request,
                    [word, success = std::move(success), failure](const QVariant &result) {
                        if (result.typeId() == QMetaType::QVariantMap)
                            DevLog(QStringLiteral("LEXICAL MEANING: %@"), QStringList(result.toMap().keys()));
                        lexicalMeaningFromResult(result, word, success, failure);
                    },
                    failure),
                failureHandler(failure));
}

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
