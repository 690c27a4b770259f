#include "services/network/QVRequestManager.h"

#include "core/settings/QVSettingsService.h"

#include "services/network/QVChecker.h"
#include "services/network/QVJSONResponseSerializer.h"
#include "services/network/QVPhraseParser.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVBaseTranslateModel.h"

#include "core/settings/QVAuthService.h"

#include "platform/BackendConfig.h"
#include "platform/Format.h"
#include "platform/MainQueue.h"
#include "platform/SystemLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kResult = QString::fromLatin1(QVRequestManager::kResultKey);

QString key(const char *name) {
    return QString::fromLatin1(name);
}

// Missing input: the failure block runs later on the main thread, with no error.
MFURLSessionTaskPtr failWithoutRequest(const QVRequestManager::ErrorBlock &failure,
                                       const platform::Error &error = {}) {
    platform::dispatchAsyncMain([failure, error] {
        if (failure)
            failure(error);
    });
    return nullptr;
}

// Lines of a reply value: an array of strings, or one string.
bool linesOf(const QVariant &value, QStringList *lines) {
    if (value.typeId() == QMetaType::QString) {
        *lines = {value.toString()};
        return true;
    }
    if (value.typeId() != QMetaType::QVariantList)
        return false;
    lines->clear();
    for (const QVariant &line : value.toList()) {
        if (line.typeId() != QMetaType::QString && !line.isNull())
            return false;
        lines->append(line.toString());
    }
    return true;
}

bool isJSONNull(const QVariant &value) {
    return value.typeId() == QMetaType::Nullptr;
}

// The reply's "from": the first element of an array, else the value itself.
QVariant detectedFrom(const QVariantMap &reply) {
    const QVariant from = reply.value(QStringLiteral("from"));
    if (from.typeId() == QMetaType::QVariantList) {
        const QVariantList list = from.toList();
        return list.isEmpty() ? QVariant() : list.first();
    }
    return from;
}

QString joinedTransliteration(const QVariantMap &reply) {
    QStringList lines;
    const QVariant value = reply.value(QStringLiteral("targetTransliteration"));
    if (value.typeId() == QMetaType::QVariantList && linesOf(value, &lines))
        return lines.join(QLatin1Char('\n'));
    return {};
}

QString absoluteOnAPIHost(const QString &path) {
    QUrl url = platform::BackendConfig::apiHost();
    url.setPath(url.path() + path);
    return url.toString();
}

} // namespace

QVRequestManager &QVRequestManager::instance() {
    static QVRequestManager *manager = new QVRequestManager; // lives for the whole process
    return *manager;
}

QVRequestManager::QVRequestManager() : QVHTTPSessionManager(&QVRequestManager::apiBaseURL) {
    setValueForHTTPHeaderField("application/json", "Content-Type");
    setValueForHTTPHeaderField("application/json", "Accept");
    setValueForHTTPHeaderField(kAuthorization, "Authorization");
    setTimeoutInterval(kTimeoutMs);
    setResourceTimeoutInterval(kDeadlineMs);
    setDefaultResponseSerializer();
}

QUrl QVRequestManager::apiBaseURL() {
    QUrl url = platform::BackendConfig::apiHost();
    url.setPath(url.path() + QString::fromLatin1(kAPIPath));
    return url;
}

void QVRequestManager::setDefaultResponseSerializer() {
    setResponseSerializer(
        std::make_shared<MFCompoundResponseSerializer>(QList<std::shared_ptr<const MFResponseSerializer>>{
            std::make_shared<QVJSONResponseSerializer>(),
            std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{"text/html"}),
        }));
}

void QVRequestManager::setHttpResponseSerializer() {
    setResponseSerializer(std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{"text/html"}));
}

platform::Error QVRequestManager::badReplyError(const QString &request, const QString &description) {
    return platform::Error(key(kErrorDomain), kBadReplyCode,
                           description.isEmpty() ? QVLocalizedString(QStringLiteral("_loc_error"))
                                                 : description,
                           {{QStringLiteral("request"), request}});
}

MFHTTPSessionManager::Success QVRequestManager::resultHandler(const QString &request, ResultBlock onResult,
                                                              ErrorBlock failure) {
    return [request, onResult = std::move(onResult),
            failure = std::move(failure)](const MFURLSessionTaskPtr &, const QVariant &reply) {
        const QVariantMap map = reply.toMap();
        if (reply.typeId() != QMetaType::QVariantMap || !map.contains(kResult)) {
            if (failure)
                failure(badReplyError(request));
            return;
        }
        onResult(map.value(kResult));
    };
}

MFHTTPSessionManager::Failure QVRequestManager::failureHandler(ErrorBlock failure) {
    return [failure = std::move(failure)](const MFURLSessionTaskPtr &, const platform::Error &error) {
        if (failure)
            failure(error);
    };
}

// ---- Text translation -------------------------------------------------------

MFURLSessionTaskPtr QVRequestManager::sendTranslation(const QString &text, const QString &fromLang,
                                                      const QString &toLang, ResultBlock onReply,
                                                      ErrorBlock failure) {
    const QString source = fromLang == QLatin1String(kAutoDetection) ? QString(QLatin1String("")) : fromLang;
    const QVariantMap parameters{
        {QStringLiteral("from"), source},
        {QStringLiteral("to"), toLang},
        {QStringLiteral("data"), text.split(QLatin1Char('\n'))},
        {QString::fromLatin1(kPlatformKey), QString::fromLatin1(kPlatform)},
    };
    // The whole reply is needed (its "from" and transliteration), not only "result".
    return POST(
        QStringLiteral("translate"), parameters,
        [onReply = std::move(onReply), failure](const MFURLSessionTaskPtr &, const QVariant &reply) {
            QStringList lines;
            const QVariantMap map = reply.toMap();
            if (reply.typeId() != QMetaType::QVariantMap || !linesOf(map.value(kResult), &lines)) {
                if (failure)
                    failure(badReplyError(QStringLiteral("translate")));
                return;
            }
            onReply(reply);
        },
        failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::translate(const QString &text, const QString &fromLang,
                                                const QString &toLang, bool, RecordSuccess success,
                                                ErrorBlock failure) {
    if (text.isNull() || fromLang.isEmpty() || toLang.isEmpty())
        return failWithoutRequest(failure);
    return sendTranslation(
        text, fromLang, toLang,
        [text, toLang, success = std::move(success)](const QVariant &replyObject) {
            const QVariantMap reply = replyObject.toMap();
            QStringList lines;
            linesOf(reply.value(kResult), &lines);
            QVariantMap record{
                {QStringLiteral("idTranslation"),
                 QVBaseTranslateModel::identifierForDate(QDateTime::currentDateTimeUtc())},
                {QStringLiteral("translationType"), 1},
                {QStringLiteral("originalText"), text},
                {QStringLiteral("translatedText"), lines.join(QLatin1Char('\n'))},
                {QStringLiteral("isFavorite"), false},
                {QStringLiteral("learnCount"), 0},
            };
            const QVariant from = detectedFrom(reply);
            if (isJSONNull(from)) {
                record.insert(QStringLiteral("detectedLanguage"), toLang);
            } else if (from.typeId() == QMetaType::QString) {
                record.insert(QStringLiteral("from"), from.toString());
                record.insert(QStringLiteral("detectedLanguage"), from.toString());
            }
            const QVariant transliteration = reply.value(QStringLiteral("targetTransliteration"));
            QStringList transliterated;
            if (transliteration.typeId() == QMetaType::QVariantList && !transliteration.toList().isEmpty() &&
                linesOf(transliteration, &transliterated))
                record.insert(QStringLiteral("transliterationTranslatedText"),
                              transliterated.join(QLatin1Char('\n')));
            const QVariant translator = reply.value(QStringLiteral("translator"));
            if (translator.typeId() == QMetaType::QString)
                record.insert(QStringLiteral("translationViaCompany"), translator.toString());
            if (success)
                success(record);
        },
        failure);
}

MFURLSessionTaskPtr QVRequestManager::translate(const QString &text, const QString &fromLang,
                                                const QString &toLang, RecordSuccess success,
                                                ErrorBlock failure) {
    return translate(text, fromLang, toLang, false, std::move(success), std::move(failure));
}

MFURLSessionTaskPtr QVRequestManager::translateText(const QString &text, const QString &fromLang,
                                                    const QString &toLang, bool, TextSuccess success,
                                                    ErrorBlock failure) {
    if (text.isNull() || fromLang.isEmpty() || toLang.isEmpty())
        return failWithoutRequest(failure);
    return sendTranslation(
        text, fromLang, toLang,
        [text, success = std::move(success)](const QVariant &replyObject) {
            const QVariantMap reply = replyObject.toMap();
            QStringList lines;
            linesOf(reply.value(kResult), &lines);
            const QVariant from = detectedFrom(reply);
            if (success)
                success(text, lines.join(QLatin1Char('\n')), QString(QLatin1String("")),
                        joinedTransliteration(reply),
                        from.typeId() == QMetaType::QString ? from.toString() : QString());
        },
        failure);
}

MFURLSessionTaskPtr QVRequestManager::translateText(const QString &text, const QString &fromLang,
                                                    const QString &toLang, TextSuccess success,
                                                    ErrorBlock failure) {
    return translateText(text, fromLang, toLang, false, std::move(success), std::move(failure));
}

// ---- Further requests -------------------------------------------------------

MFURLSessionTaskPtr QVRequestManager::getLanguagesSucces(ListSuccess success, ErrorBlock failure) {
    const QString request = QStringLiteral("getLanguages");
    const MFHTTPSessionManager::Success handler = resultHandler(
        request,
        [request, success, failure](const QVariant &result) {
            if (result.typeId() != QMetaType::QVariantList) {
                if (failure)
                    failure(badReplyError(request));
                return;
            }
            if (success)
                success(result.toList());
        },
        failure);
    // The catalogue is public data, not the user's: the whole reply goes to the system log first.
    return GET(
        request, QVariant(),
        [handler](const MFURLSessionTaskPtr &task, const QVariant &reply) {
            platform::SystemLog::write(platform::format(QStringLiteral("%@"), reply));
            handler(task, reply);
        },
        [failure](const MFURLSessionTaskPtr &, const platform::Error &error) {
            DevLogger::logError(error, QStringLiteral("getLanguagesSucces:failure:"));
            if (failure)
                failure(error);
        });
}

namespace {

// "result" that must be a list.
std::function<void(const QVariant &)> listResult(const QString &request,
                                                 QVRequestManager::ListSuccess success,
                                                 QVRequestManager::ErrorBlock failure) {
    return [request, success = std::move(success), failure = std::move(failure)](const QVariant &result) {
        if (result.typeId() != QMetaType::QVariantList) {
            if (failure)
                failure(QVRequestManager::badReplyError(request));
            return;
        }
        if (success)
            success(result.toList());
    };
}

} // namespace

MFURLSessionTaskPtr QVRequestManager::getWordEntriesForText(const QString &text, const QString &fromLang,
                                                            ListSuccess success, ErrorBlock failure) {
    QVChecker::check(text);
    QVChecker::check(fromLang);
    const QString request = QStringLiteral("wordDictionary");
    const QString url = request + QLatin1Char('?') +
                        encodedQuery({{QStringLiteral("text"), text}, {QStringLiteral("lang"), fromLang}});
    return GET(url, QVariant(),
               resultHandler(request, listResult(request, std::move(success), failure), failure),
               failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::speechObjectForText(const QString &text, const QString &language,
                                                          const QString &gender, const QString &rate,
                                                          const QString &pitch, DataSuccess success,
                                                          ErrorBlock failure) {
    if (text.isEmpty() || language.isEmpty())
        return failWithoutRequest(failure);
    QVChecker::check(text);
    QVChecker::check(language);
    const QString request = QStringLiteral("textToSpeech");
    const QString url = request + QLatin1Char('?') +
                        encodedQuery({
                            {QStringLiteral("lang"), language},
                            {QStringLiteral("text"), text},
                            {QString::fromLatin1(kPlatformKey), QString::fromLatin1(kPlatform)},
                            {QStringLiteral("gender"), gender},
                            {QStringLiteral("rate"), rate},
                            {QStringLiteral("pitch"), pitch},
                        });
    return GET(
        url, QVariant(),
        [request, success = std::move(success), failure](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const QByteArray audio =
                reply.typeId() == QMetaType::QByteArray ? reply.toByteArray() : QByteArray();
            if (audio.isEmpty()) {
                if (failure)
                    failure(badReplyError(request));
                return;
            }
            if (success)
                success(audio);
        },
        failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::getLanguagesPackagesForLocale(const QString &locale,
                                                                    ListSuccess success, ErrorBlock failure) {
    const QString request = QStringLiteral("languageModels");
    const QString url = request + QLatin1Char('?') +
                        encodedQuery({{QStringLiteral("locale_code"), locale},
                                      {QStringLiteral("type"), QString::fromLatin1(kPackageType)}});
    return POST(url, QVariantMap{{QStringLiteral("version"), 2}},
                resultHandler(request, listResult(request, std::move(success), failure), failure),
                failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::sendUnknownWords(const QVariantList &words, BoolSuccess success,
                                                       ErrorBlock failure) {
    return POST(
        QStringLiteral("sendUnknownWords"), QVariantMap{{QStringLiteral("data"), words}},
        [success = std::move(success)](const MFURLSessionTaskPtr &, const QVariant &) {
            if (success)
                success(true);
        },
        failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::detectLanguageForSentences(const QStringList &sentences,
                                                               const QStringList &locales,
                                                               ResultSuccess success, ErrorBlock failure) {
    const QString request = QStringLiteral("translateTextByLocale");
    const QVariantMap parameters{{QStringLiteral("sentences"), sentences},
                                 {QStringLiteral("locale"), locales}};
    return POST(request, parameters,
                resultHandler(
                    request,
                    [success = std::move(success), failure](const QVariant &result) {
                        if (result.isNull()) {
                            if (failure)
                                failure(platform::Error(QString::fromLatin1(kErrorDomain), kDetectionFailedCode,
                                                        QString::fromUtf8(kDetectionFailed)));
                            return;
                        }
                        DevLog(QStringLiteral("__RESULT__%@"), result.toString());
                        if (success)
                            success(result);
                    },
                    failure),
                failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::translateWebPageWithUrlString(const QString &urlString,
                                                                    const QString &languageFrom,
                                                                    const QString &languageTo,
                                                                    StringSuccess success,
                                                                    ErrorBlock failure) {
    const QString request = QStringLiteral("/translateWebpageAPI/");
    const QVariantMap parameters{{QStringLiteral("url"), urlString},
                                 {QStringLiteral("from"), languageFrom},
                                 {QStringLiteral("to"), languageTo}};
    return POST(request, parameters,
                resultHandler(
                    request,
                    [request, success = std::move(success), failure](const QVariant &result) {
                        if (result.typeId() != QMetaType::QString || result.toString().isEmpty()) {
                            if (failure)
                                failure(badReplyError(request));
                            return;
                        }
                        if (success)
                            success(result.toString());
                    },
                    failure),
                failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::parseImageData(const QByteArray &imageData, const QString &languageFrom,
                                                     const QString &languageTo, PictureSuccess success,
                                                     ErrorBlock failure) {
    if (imageData.isEmpty() || languageFrom.isEmpty() || languageTo.isEmpty())
        return failWithoutRequest(failure);
    const QString url = QStringLiteral("parseImage?device=APPLE&platform=") + QString::fromLatin1(kPlatform);
    const QVariantMap parameters{{QStringLiteral("from"), languageFrom}, {QStringLiteral("to"), languageTo}};
    return POST(
        url, parameters,
        [imageData](MFMultipartFormData &form) {
            form.appendPartWithFileData(imageData, QStringLiteral("file"), QStringLiteral("ProfilePic.jpg"),
                                        "image/jpeg");
        },
        [](qint64 completed, qint64 total) {
            DevLog(QStringLiteral("uploadProgress : %@"), QStringLiteral("%1/%2").arg(completed).arg(total));
        },
        [success = std::move(success), failure](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const QVariantMap map = reply.toMap();
            const QVariant result = map.value(kResult);
            const bool good = reply.typeId() == QMetaType::QVariantMap &&
                              result.typeId() == QMetaType::QString && !result.toString().isEmpty() &&
                              !map.contains(QStringLiteral("error"));
            if (!good) {
                if (failure)
                    failure(
                        badReplyError(QStringLiteral("parseImage"), QString::fromLatin1(kBadPictureReply)));
                return;
            }
            QStringList source;
            QStringList translated;
            linesOf(map.value(QStringLiteral("sourceData")), &source);
            linesOf(map.value(QStringLiteral("translatedData")), &translated);
            if (success)
                success(absoluteOnAPIHost(QStringLiteral("/v2/static/") + result.toString()),
                        source.join(QLatin1Char('\n')), translated.join(QLatin1Char('\n')));
        },
        failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::parseImage(const QUrl &fileURL, const QString &languageFrom,
                                                 const QString &languageTo, StringSuccess success,
                                                 ErrorBlock failure) {
    if (fileURL.isEmpty() || languageFrom.isEmpty() || languageTo.isEmpty())
        return failWithoutRequest(failure);
    QFile file(fileURL.isLocalFile() ? fileURL.toLocalFile() : fileURL.toString());
    if (!file.open(QIODevice::ReadOnly)) {
        return failWithoutRequest(
            failure, platform::Error(QStringLiteral("NSCocoaErrorDomain"), 260, file.errorString(),
                                     {{QStringLiteral("NSFilePath"), file.fileName()}}));
    }
    const QByteArray picture = file.readAll();
    const QString request = QStringLiteral("parseImage?parseImage=1");
    const QVariantMap parameters{{QStringLiteral("from"), languageFrom}, {QStringLiteral("to"), languageTo}};
    return POST(
        request, parameters,
        [picture](MFMultipartFormData &form) {
            form.appendPartWithFileData(picture, QStringLiteral("file"), QStringLiteral("ProfilePic.jpg"),
                                        "image/jpeg");
        },
        [](qint64 completed, qint64 total) {
            DevLog(QStringLiteral("uploadProgress : %@"), QStringLiteral("%1/%2").arg(completed).arg(total));
        },
        [success = std::move(success), failure](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const QVariant result = reply.toMap().value(kResult);
            if (reply.typeId() != QMetaType::QVariantMap || result.typeId() != QMetaType::QString ||
                result.toString().isEmpty()) {
                if (failure)
                    failure(
                        badReplyError(QStringLiteral("parseImage"), QString::fromLatin1(kBadPictureReply)));
                return;
            }
            if (success)
                success(absoluteOnAPIHost(QStringLiteral("/") + result.toString()));
        },
        failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::parseImage(const QUrl &fileURL, StringSuccess success,
                                                 ErrorBlock failure) {
    return parseImage(fileURL, languageFrom(), languageTo(), std::move(success), std::move(failure));
}

MFURLSessionTaskPtr QVRequestManager::parseImageData(const QByteArray &imageData, PictureSuccess success,
                                                     ErrorBlock failure) {
    return parseImageData(imageData, languageFrom(), languageTo(), std::move(success), std::move(failure));
}

QString QVRequestManager::languageFrom() const {
    return QVSettingsService::languageFrom();
}

QString QVRequestManager::languageTo() const {
    return QVSettingsService::languageTo();
}

MFURLSessionTaskPtr QVRequestManager::convertDocument(const QUrl &fileURL, const QString &format,
                                                      DataSuccess success, ErrorBlock failure) {
    if (fileURL.isEmpty())
        return failWithoutRequest(failure);
    QFile file(fileURL.isLocalFile() ? fileURL.toLocalFile() : fileURL.toString());
    if (!file.open(QIODevice::ReadOnly)) {
        return failWithoutRequest(
            failure, platform::Error(QStringLiteral("NSCocoaErrorDomain"), 260, file.errorString(),
                                     {{QStringLiteral("NSFilePath"), file.fileName()}}));
    }
    const QByteArray document = file.readAll();
    const QString request = QStringLiteral("/quorvaldeConvertDocument");
    return POST(
        request, QVariantMap{{QStringLiteral("to"), format}},
        [document](MFMultipartFormData &form) {
            form.appendPartWithFileData(document, QStringLiteral("file"), QStringLiteral("File.rtf"),
                                        "application/rtf");
        },
        [](qint64 completed, qint64 total) {
            DevLog(QStringLiteral("uploadProgress : %@"), QStringLiteral("%1/%2").arg(completed).arg(total));
        },
        [request, success = std::move(success), failure](const MFURLSessionTaskPtr &, const QVariant &reply) {
            // An HTML conversion comes back labelled as text, which the serializer hands over as a string.
            const QByteArray converted = reply.typeId() == QMetaType::QByteArray ? reply.toByteArray()
                                         : reply.typeId() == QMetaType::QString  ? reply.toString().toUtf8()
                                                                                 : QByteArray();
            if (converted.isEmpty()) {
                if (failure)
                    failure(badReplyError(request));
                return;
            }
            if (success)
                success(converted);
        },
        failureHandler(failure));
}

MFURLSessionTaskPtr QVRequestManager::getPhraseBookForLocale(const QString &locale, ListSuccess success,
                                                             ErrorBlock failure) {
    const QString request = QStringLiteral("getPhrases");
    QList<QPair<QString, QString>> query{{QStringLiteral("version"), QStringLiteral("0.9")}};
    if (!locale.isEmpty())
        query.append({QStringLiteral("lang"), locale});
    return GET(request + QLatin1Char('?') + encodedQuery(query), QVariant(),
               resultHandler(
                   request,
                   [request, success = std::move(success), failure](const QVariant &result) {
                       const QVariant categories = result.toMap().value(QStringLiteral("categories"));
                       if (categories.typeId() != QMetaType::QVariantList) {
                           if (failure)
                               failure(badReplyError(request));
                           return;
                       }
                       if (success)
                           success(QVPhraseParser::plainJSONFromArray(categories.toList()));
                   },
                   failure),
               failureHandler(failure));
}

// ---- News subscription ------------------------------------------------------

MFURLSessionTaskPtr QVRequestManager::subscribeUserWithEmail(const QString &email, int status,
                                                             ReplySuccess success, ErrorBlock failure) {
    const QVariantMap parameters{
        {QStringLiteral("email"), email},
        {QStringLiteral("language"), DJLocalizationSystem::languageOfLocale(QLocale())},
        {QStringLiteral("platform"), QString::fromLatin1(kPlatform)},
        {QStringLiteral("appKey"), QString::fromLatin1(kAppKey)},
        {QStringLiteral("status"), status}};
    return POST(
        QString::fromLatin1(kSubscribePath), parameters,
        [success = std::move(success)](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const QVariant answer = reply.toMap().value(QStringLiteral("status"));
            bool known = false;
            const int replyStatus = answer.toInt(&known);
            if (known && (replyStatus == 1 || replyStatus == 2))
                QVAuthService::setIsSubscribedToNews(replyStatus == 2);
            if (success)
                success(reply);
        },
        failureHandler(failure));
}
