#pragma once

#include "services/network/QVHTTPSessionManager.h"

#include "core/models/QVLexicalMeaning.h"
#include "services/messages/QVServerMessage.h"
#include "services/messages/QVVersionUpdateDTO.h"

#include "platform/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

// The client of the backend's general API: JSON on the API host under
// "/v2/api/v3/" (read from platform::BackendConfig at every request), the fixed
// bearer token, a 120 s time-out, and "platform" and "uuid" on every request.
//
//   QVRequestManager::instance().translate(text, "auto-detection", "de_DE",
//       [](const QVariantMap &record) { ... store it in the history ... },
//       [](const platform::Error &error) { ... });
//
// Every operation returns at once; exactly one of its two blocks runs, on the
// main thread. The payload of a reply is its "result": a reply without it (or
// with one of the wrong kind) fails with a "com.translator" 400 error. Missing
// input fails with no error (a null platform::Error) and sends nothing.
// Transport and server errors reach the failure block unchanged (server error
// bodies: "com.translator.network.response" with the HTTP status as code).
// A request that returned a task can be ended with cancel(task): its failure
// block then gets NSURLErrorDomain -999.
class QVRequestManager : public QVHTTPSessionManager {
public:
    using ErrorBlock = std::function<void(const platform::Error &error)>;
    using RecordSuccess = std::function<void(const QVariantMap &record)>;
    using TextSuccess = std::function<void(
        const QString &text, const QString &translatedText, const QString &sourceTransliteration,
        const QString &targetTransliteration, const QString &detectedLanguage)>;
    using ListSuccess = std::function<void(const QVariantList &list)>;
    using DataSuccess = std::function<void(const QByteArray &data)>;
    using StringSuccess = std::function<void(const QString &value)>;
    using BoolSuccess = std::function<void(bool done)>;
    using ResultSuccess = std::function<void(const QVariant &result)>;
    using LexicalSuccess = std::function<void(const QVLexicalMeaning &meaning)>;
    using PictureSuccess = std::function<void(const QString &pictureURL, const QString &sourceText,
                                              const QString &translatedText)>;

    static constexpr const char *kAuthorization = "Bearer kfr8jxm61wzqtnb";
    static constexpr int kTimeoutMs = 120000;
    // The whole exchange: uploads of pictures and documents and their conversion take time.
    static constexpr int kDeadlineMs = 600000;
    static constexpr const char *kAPIPath = "/v2/api/v3/";
    static constexpr const char *kAutoDetection = "auto-detection";
    static constexpr const char *kResultKey = "result";
    // Replies that are not what the request expects.
    static constexpr const char *kErrorDomain = "com.translator";
    static constexpr qint64 kBadReplyCode = 400;
    static constexpr const char *kBadPictureReply = "Bad parseImageData";
    static constexpr const char *kPackageType = "opennmt-desktop";

    static QVRequestManager &instance();
    // A client of its own (tests); the application uses instance().
    QVRequestManager();

    // scheme://api-host/v2/api/v3/
    static QUrl apiBaseURL();
    // The compound of QVJSONResponseSerializer and a "text/html" raw serializer (set at creation).
    void setDefaultResponseSerializer();
    void setHttpResponseSerializer();

    // Text translation. The text is sent as given, split at "\n" into lines
    // ("\r" stays inside its line); "auto-detection" is sent as an empty "from".
    // The record dictionary holds "idTranslation" (the reply's time in whole
    // seconds since 2001-01-01 UTC), "translationType" 1, "originalText",
    // "translatedText" (the reply's lines joined with "\n"), "isFavorite" false,
    // "learnCount" 0, and from the reply "from"/"detectedLanguage" (a null "from"
    // gives detectedLanguage = toLang and no "from"), "transliterationTranslatedText"
    // (a non-empty "targetTransliteration") and "translationViaCompany" (a string "translator").
    MFURLSessionTaskPtr translate(const QString &text, const QString &fromLang, const QString &toLang,
                                  bool isPaid, RecordSuccess success, ErrorBlock failure);
    MFURLSessionTaskPtr translate(const QString &text, const QString &fromLang, const QString &toLang,
                                  RecordSuccess success, ErrorBlock failure);
    // The same request; success gets (text as given, translation, "", target
    // transliteration or "", detected language or "").
    MFURLSessionTaskPtr translateText(const QString &text, const QString &fromLang, const QString &toLang,
                                      bool isPaid, TextSuccess success, ErrorBlock failure);
    MFURLSessionTaskPtr translateText(const QString &text, const QString &fromLang, const QString &toLang,
                                      TextSuccess success, ErrorBlock failure);

    // GET "getLanguages": the backend's language items. A failure is also reported through DevLogger.
    MFURLSessionTaskPtr getLanguagesSucces(ListSuccess success, ErrorBlock failure);
    // GET "wordDictionary" ("text", "lang"): word completions.
    MFURLSessionTaskPtr getWordEntriesForText(const QString &text, const QString &fromLang,
                                              ListSuccess success, ErrorBlock failure);
    // POST "getLexicalMeaning" ("word", "from", "to"): the entry built from "result".
    // The entry is built on a pool thread (a reply may hold many thousands of examples)
    // and handed to success on the main thread.
    MFURLSessionTaskPtr getLexicalMeaningForWord(const QString &word, const QString &fromLang,
                                                 const QString &toLang, LexicalSuccess success,
                                                 ErrorBlock failure);
    // The entry of a reply's "result", built on a pool thread; success gets it, or failure
    // a bad reply error when `result` holds no entry, later on the main thread, once.
    static void lexicalMeaningFromResult(const QVariant &result, const QString &word, LexicalSuccess success,
                                         ErrorBlock failure);
    // GET "textToSpeech" ("lang", "text", "platform", "gender", "rate", "pitch" in this
    // order): the audio bytes of a 2xx "audio/wav" reply.
    MFURLSessionTaskPtr speechObjectForText(const QString &text, const QString &language,
                                            const QString &gender, const QString &rate, const QString &pitch,
                                            DataSuccess success, ErrorBlock failure);
    // POST "languageModels?locale_code=<locale>&type=opennmt-desktop" with {"version": 2}:
    // the package descriptions (for QVPackagesMapper).
    MFURLSessionTaskPtr getLanguagesPackagesForLocale(const QString &locale, ListSuccess success,
                                                      ErrorBlock failure);
    // POST "sendUnknownWords" {"data": words}: any successful reply gives true.
    MFURLSessionTaskPtr sendUnknownWords(const QVariantList &words, BoolSuccess success, ErrorBlock failure);
    // POST "translateTextByLocale" ("sentences", "locale"): the backend's "result" as it
    // came. A JSON-null "result" fails with "com.translator" 414.
    MFURLSessionTaskPtr detectLanguageForSentences(const QStringList &sentences, const QStringList &locales,
                                                   ResultSuccess success, ErrorBlock failure);
    static constexpr qint64 kDetectionFailedCode = 414;
    static constexpr const char *kDetectionFailed = "Ошибка при определении текста языка";
    // POST "/translateWebpageAPI/" ("url", "from", "to"): the translated page's address.
    MFURLSessionTaskPtr translateWebPageWithUrlString(const QString &urlString, const QString &languageFrom,
                                                      const QString &languageTo, StringSuccess success,
                                                      ErrorBlock failure);
    // Multipart POST "parseImage?device=APPLE&platform=macOS" ("from", "to", the JPEG as
    // "file"/"ProfilePic.jpg"): the picture's address under "/v2/static/" and the source
    // and translated lines joined with "\n". A reply without "result", or with "error",
    // fails with "com.translator" 400 "Bad parseImageData". Cancel it through the task.
    MFURLSessionTaskPtr parseImageData(const QByteArray &imageData, const QString &languageFrom,
                                       const QString &languageTo, PictureSuccess success, ErrorBlock failure);
    // Multipart POST "parseImage?parseImage=1" ("from", "to", the file's bytes as
    // "file"/"ProfilePic.jpg"): "https://<api host>/" + "result". A reply without
    // "result" fails; an unreadable file fails with its error and sends nothing.
    MFURLSessionTaskPtr parseImage(const QUrl &fileURL, const QString &languageFrom,
                                   const QString &languageTo, StringSuccess success, ErrorBlock failure);
    // The same two with the settings record's pair (languageFrom(), languageTo()).
    MFURLSessionTaskPtr parseImage(const QUrl &fileURL, StringSuccess success, ErrorBlock failure);
    MFURLSessionTaskPtr parseImageData(const QByteArray &imageData, PictureSuccess success,
                                       ErrorBlock failure);
    // The locale identifiers of the settings record's source and target languages.
    QString languageFrom() const;
    QString languageTo() const;
    // Multipart POST "/quorvaldeConvertDocument" ("to", the file as "file"/"File.rtf"/
    // "application/rtf"): the converted document's bytes. An unreadable file fails
    // with its error and sends nothing.
    MFURLSessionTaskPtr convertDocument(const QUrl &fileURL, const QString &format, DataSuccess success,
                                        ErrorBlock failure);
    // GET "getPhrases" ("version" "0.9", "lang" when given): the categories of
    // "result"."categories" flattened by QVPhraseParser.
    MFURLSessionTaskPtr getPhraseBookForLocale(const QString &locale, ListSuccess success,
                                               ErrorBlock failure);
    // POST "/api/subscribedUsers/addUser" ("email", "language" of the system
    // locale, "platform", "appKey", "status": 2 subscribe, 1 unsubscribe). A reply
    // "status" of 2 or 1 sets the stored profile's news flag; success gets the reply.
    using ReplySuccess = std::function<void(const QVariant &reply)>;
    MFURLSessionTaskPtr subscribeUserWithEmail(const QString &email, int status, ReplySuccess success,
                                               ErrorBlock failure);
    static constexpr const char *kSubscribePath = "/api/subscribedUsers/addUser";
    static constexpr const char *kAppKey = "3c9e1a7f5b2d8046ce13f97a2b5d0e8461c7fa93";

    // ---- Dictionary and translation feedback ----
    static constexpr const char *kFeedbackErrorDomain = "com.Tessaphyre";
    static constexpr const char *kFeedbackFailed = "Error on send feedback";
    // GET "dictionary" ("text", "lang" = "<from>-<to>"): the reply's "result", whatever its kind.
    MFURLSessionTaskPtr getWordDictionaryMeaningForText(const QString &text, const QString &fromLang,
                                                        const QString &toLang, ResultSuccess success,
                                                        ErrorBlock failure);
    // POST "feedBackDictionary" ("from", "to", "source" = the original, "target" = the
    // user's text, "translatorName", "translateResult" = the machine translation).
    // A reply whose "err" is JSON null gives true; any other fails with
    // "com.Tessaphyre" 400 and the "err" text ("Error on send feedback" without one).
    MFURLSessionTaskPtr sendFeedBackTranslate(const QString &original, const QString &translated,
                                              const QString &modified, const QString &from, const QString &to,
                                              const QString &translatorName, BoolSuccess success,
                                              ErrorBlock failure);

    // ---- Server messages and update notices (through the backend client) ----
    using ServerMessagesSuccess = std::function<void(const QList<QVServerMessage> &messages)>;
    using VersionUpdateSuccess = std::function<void(const std::optional<QVVersionUpdateDTO> &notice)>;
    // Written by the main window with the id of the last message it showed.
    static constexpr const char *kLastShowedServerMessageKey = "kUserDefaultLastShowedServerMessage";
    static constexpr int kServerMessagesShown = 2;
    static constexpr const char *kUpdateVersionMessage = "Merovantia getUpdateVersionWithLang";

    // The news for the interface language, filtered by newsFilteredArrayWithArray.
    void getServerMessagesForLanguage(const QString &language, ServerMessagesSuccess success,
                                      ErrorBlock failure);
    // Messages newer than the last one shown (0 when none was), newest first, at most two.
    static QList<QVServerMessage> newsFilteredArrayWithArray(const QList<QVServerMessage> &messages);
    // The update notice, or nothing when the reply holds none. Errors also go to DevLogger.
    void getUpdateVersionUpdateAppWithLanguage(const QString &language, VersionUpdateSuccess success,
                                               ErrorBlock failure);

    // ---- Push-device registration ----
    static constexpr const char *kPlayersPath = "/api/v1/players";
    static constexpr int kPushDeviceType = 9;
    // POST to the push host: "app_id", "device_type", "identifier", "language", "timezone"
    // with "platform" and "uuid", without the general API's authorization. Success gets
    // true when the reply names the player ("id"), which also goes to analytics.
    MFURLSessionTaskPtr addDeviceWithPushToken(const QString &token, BoolSuccess success, ErrorBlock failure);
    // The push application of the bundle; "" (and a diagnostic line) for an unknown one.
    static QString pushAppIdForBundleIdentifier(const QString &bundleIdentifier);
    // Seconds east of UTC.
    static qint64 timezoneOffsetSeconds(const QTimeZone &zone, const QDateTime &at);

    // The error of a reply that lacks its payload or holds the wrong kind of value.
    static platform::Error badReplyError(const QString &request, const QString &description = {});

private:
    using ResultBlock = std::function<void(const QVariant &result)>;
    // The reply's "result" goes to onResult; its absence to failure, as a bad reply.
    static Success resultHandler(const QString &request, ResultBlock onResult, ErrorBlock failure);
    static MFHTTPSessionManager::Failure failureHandler(ErrorBlock failure);
    MFURLSessionTaskPtr sendTranslation(const QString &text, const QString &fromLang, const QString &toLang,
                                        ResultBlock onReply, ErrorBlock failure);
};
