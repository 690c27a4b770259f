#include <merovantia/MFRequestManager.h>

#include <merovantia/MFDataManager.h>

#include "HttpSession.h"
#include "JsonText.h"
#include "MFLog.h"
#include "platform/BackendConfig.h"
#include "platform/Bundle.h"
#include "platform/MainQueue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

const QString kMethodKey = QStringLiteral("method");
const QString kTypeKey = QStringLiteral("type");
const QString kDataKey = QStringLiteral("data");
const QString kStatusKey = QStringLiteral("status");
const QString kErrorKey = QStringLiteral("Error");
const QString kInvalidResponse = QStringLiteral("Invalid response");
const QString kFrameworkError = QStringLiteral("Merovantia.framework error");

// Only a dictionary reply has reply keys; anything else reads as an empty one.
QVariantMap dictionaryOf(const QVariant &object) {
    return object.typeId() == QMetaType::QVariantMap ? object.toMap() : QVariantMap();
}

// The caller's block, on the main thread, once, and never before the starting call returns.
void deliver(const char *method, std::function<void()> block) {
    platform::dispatchAsyncMain(
        [method, block = std::move(block)] { merovantia::runGuarded(method, block); });
}

platform::Error parseError(const QJsonParseError &error) {
    return platform::Error(
        QStringLiteral("NSCocoaErrorDomain"), 3840,
        QStringLiteral("The data couldn't be read because it isn't in the correct format."),
        {{QStringLiteral("NSDebugDescription"), error.errorString()}});
}

} // namespace

MFRequestManager &MFRequestManager::sharedRequestManager() {
    static MFRequestManager *instance = new MFRequestManager;
    return *instance;
}

MFRequestManager::MFRequestManager()
    : m_session(new merovantia::HttpSession(QStringLiteral("MFRequestManager"))) {}

MFRequestManager::~MFRequestManager() = default;

QUrl MFRequestManager::baseURL() const {
    QUrl url = platform::BackendConfig::clientHost();
    url.setPath(url.path() + QStringLiteral("/api"));
    return url;
}

void MFRequestManager::setTimeouts(int requestMs, int resourceMs) {
    m_requestTimeoutMs = requestMs;
    m_resourceTimeoutMs = resourceMs;
}

void MFRequestManager::printLog(const QString &) const {}

void MFRequestManager::getConfigInBackgroundWithBlock(ObjectBlock block) {
    startRequest({{kMethodKey, QStringLiteral("app/config")}, {kTypeKey, QStringLiteral("POST")}},
                 [block](const QVariant &object, const platform::Error &error) {
                     const QVariantMap reply = dictionaryOf(object);
                     deliver("-[MFRequestManager getConfigInBackgroundWithBlock:]", [=] {
                         if (block)
                             block(error ? QVariant() : reply.value(QStringLiteral("config")), error);
                     });
                 });
}

void MFRequestManager::getRemoteSettingsWithLanguage(const QString &language, RemoteSettingsBlock block) {
    startRequest({{kMethodKey, QStringLiteral("app/config")},
                  {kTypeKey, QStringLiteral("POST")},
                  {kDataKey, QVariantMap{{QStringLiteral("language"), language}}}},
                 [block](const QVariant &object, const platform::Error &error) {
                     const QVariantMap reply = dictionaryOf(object);
                     deliver("-[MFRequestManager getRemoteSettingsWithLanguage:block:]", [=] {
                         if (!block)
                             return;
                         if (error)
                             block({}, {}, error);
                         else
                             block(reply.value(QStringLiteral("config")),
                                   reply.value(QStringLiteral("localNotification")), {});
                     });
                 });
}

namespace {

MFRequestManager::ObjectBlock replyKeyHandler(const char *method, QString key,
                                              MFRequestManager::ObjectBlock block) {
    return [method, key = std::move(key), block = std::move(block)](const QVariant &object,
                                                                    const platform::Error &error) {
        const QVariantMap reply = dictionaryOf(object);
        deliver(method, [=] {
            if (block)
                block(error ? QVariant() : reply.value(key), error);
        });
    };
}

} // namespace

void MFRequestManager::getCrossPromoForLang(const QString &language, ObjectBlock callback) {
    startRequest({{kMethodKey, QStringLiteral("crossPromotionTable/config")},
                  {kTypeKey, QStringLiteral("POST")},
                  {kDataKey, QVariantMap{{QStringLiteral("language"), language}}}},
                 replyKeyHandler("-[MFRequestManager getCrossPromoForLang:andCallback:]",
                                 QStringLiteral("config"), std::move(callback)));
}

void MFRequestManager::getNewsWithLang(const QString &language, const QVariant &lastNewsId,
                                       const QString &osPlatform, ObjectBlock callback) {
    // The builder adds the stored "appKey" and "uuid" to every body.
    const QVariantMap data{{QStringLiteral("language"), language},
                           {QStringLiteral("lastId"), lastNewsId},
                           {QStringLiteral("platform"), osPlatform}};
    startRequest({{kMethodKey, QStringLiteral("news/getNewsForApp")},
                  {kTypeKey, QStringLiteral("POST")},
                  {kDataKey, data}},
                 replyKeyHandler("-[MFRequestManager getNewsWithLang:lastNewsId:osPlatform:callback:]",
                                 QStringLiteral("newsData"), std::move(callback)));
}

void MFRequestManager::getUpdateVersionWithLang(const QString &language, const QString &osPlatform,
                                                ObjectBlock callback) {
    QVariantMap data{{QStringLiteral("language"), language}, {QStringLiteral("platform"), osPlatform}};
    const QString version = platform::Bundle::shortVersionString();
    if (!version.isEmpty())
        data.insert(QStringLiteral("version"), version);
    startRequest({{kMethodKey, QStringLiteral("versionUpdate/getVersionUpdateForApp")},
                  {kTypeKey, QStringLiteral("POST")},
                  {kDataKey, data}},
                 replyKeyHandler("-[MFRequestManager getUpdateVersionWithLang:osPlatform:callback:]",
                                 QStringLiteral("versionUpdateData"), std::move(callback)));
}

QNetworkRequest MFRequestManager::taskRequest(const QString &method, const QString &httpMethod,
                                              const QVariantMap &params, QByteArray *body) const {
    QNetworkRequest request(QUrl(QStringLiteral("%1/%2").arg(baseURL().toString(), method)));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Content-Type", "application/json; charset=utf-8");
    if (body) {
        body->clear();
        if (httpMethod.compare(QLatin1String("GET"), Qt::CaseInsensitive) != 0) {
            QVariantMap fields = params;
            const MFDataManager &identity = MFDataManager::sharedDataManager();
            const QString appKey = identity.appKey();
            const QString uuid = identity.uuid();
            if (!appKey.isNull())
                fields.insert(QStringLiteral("appKey"), appKey);
            if (!uuid.isNull())
                fields.insert(QStringLiteral("uuid"), uuid);
            *body = QJsonDocument(QJsonObject::fromVariantMap(fields)).toJson(QJsonDocument::Compact);
        }
    }
    return request;
}

void MFRequestManager::startRequest(const QVariantMap &request, ObjectBlock callback) {
    const QString method = request.value(kMethodKey).toString();
    const QString type = request.value(kTypeKey).toString();
    QByteArray body;
    const QNetworkRequest httpRequest = taskRequest(method, type, request.value(kDataKey).toMap(), &body);
    startStandardTask(httpRequest, type.toUtf8(), body, std::move(callback));
}

void MFRequestManager::startStandardTask(const QNetworkRequest &request, const QByteArray &verb,
                                         const QByteArray &body, ResultBlock callback) {
    merovantia::HttpOptions options;
    options.idleMs = m_requestTimeoutMs;
    options.totalMs = m_resourceTimeoutMs;
    options.maxBodyBytes = m_maxReplyBytes;
    m_session->start(m_nextRequestId++, request, verb, body, options,
                     [this, callback](const merovantia::HttpResult &result) { evaluate(result, callback); });
}

// Runs on the session's thread; the per-request handler runs on the main thread.
void MFRequestManager::evaluate(const merovantia::HttpResult &result, const ResultBlock &callback) const {
    QVariant object;
    platform::Error error;
    // A body that is only a byte-order mark is as empty as the session manager takes it.
    const QByteArray text = merovantia::jsonText(result.body);
    if (result.transportError) {
        error = result.transportError;
    } else if (!text.isEmpty() && result.status == 200) {
        QJsonParseError parse{};
        const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
        if (parse.error != QJsonParseError::NoError) {
            error = parseError(parse);
        } else {
            object = document.toVariant();
            // Only an object can carry "status"; any other JSON value ends as "no value" at the caller.
            const QVariantMap reply = object.toMap();
            if (document.isObject() && reply.contains(kStatusKey) &&
                !merovantia::isStatus200(reply.value(kStatusKey))) {
                object.clear();
                error = errorGenerateForData(result.body, true);
            }
        }
    } else {
        error = errorGenerateForData(result.body, true);
    }
    platform::dispatchAsyncMain([callback, object, error] {
        merovantia::runGuarded("-[MFRequestManager startRequest:callback:]",
                               [&] { callback(object, error); });
    });
}

platform::Error MFRequestManager::errorGenerateForData(const QByteArray &data, bool hasResponse) const {
    QVariant detail = kInvalidResponse;
    if (!data.isEmpty() && hasResponse) {
        QJsonParseError parse{};
        const QJsonDocument document = QJsonDocument::fromJson(merovantia::jsonText(data), &parse);
        if (parse.error == QJsonParseError::NoError)
            detail = document.toVariant();
    }
    return platform::Error(baseURL().toString(), kErrorCode, kFrameworkError, {{kErrorKey, detail}});
}

platform::Error MFRequestManager::errorSimple() const {
    return platform::Error(baseURL().toString(), kSimpleErrorCode, kFrameworkError,
                           {{kErrorKey, kInvalidResponse}});
}
