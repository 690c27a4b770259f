#include <merovantia/MFHTTPSessionManager.h>

#include <merovantia/MFDataManager.h>

#include "HttpSession.h"
#include "MFLog.h"
#include "platform/MainQueue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <QUuid>

#include <stdexcept>

namespace {

const char *methodName(const QByteArray &method, bool progress, bool multipart) {
    if (multipart)
        return progress
                   ? "-[MFHTTPSessionManager "
                     "POST:parameters:constructingBodyWithBlock:progress:success:failure:]"
                   : "-[MFHTTPSessionManager POST:parameters:constructingBodyWithBlock:success:failure:]";
    if (method == "GET")
        return progress ? "-[MFHTTPSessionManager GET:parameters:progress:success:failure:]"
                        : "-[MFHTTPSessionManager GET:parameters:success:failure:]";
    if (method == "DELETE")
        return "-[MFHTTPSessionManager DELETE:parameters:success:failure:]";
    return progress ? "-[MFHTTPSessionManager POST:parameters:progress:success:failure:]"
                    : "-[MFHTTPSessionManager POST:parameters:success:failure:]";
}

void appendPairs(QList<QPair<QString, QString>> *pairs, const QString &key, const QVariant &value) {
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            appendPairs(pairs, QStringLiteral("%1[%2]").arg(key, it.key()), it.value());
    } else if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        for (const QVariant &element : value.toList())
            appendPairs(pairs, key + QStringLiteral("[]"), element);
    } else {
        pairs->append({key, value.toString()});
    }
}

// Form-style query of the parameters, keys in ascending order.
QString queryString(const QVariantMap &parameters) {
    QList<QPair<QString, QString>> pairs;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        appendPairs(&pairs, it.key(), it.value());
    QStringList parts;
    for (const auto &pair : pairs) {
        parts << QString::fromLatin1(QUrl::toPercentEncoding(pair.first, "[]") + '=' +
                                     QUrl::toPercentEncoding(pair.second));
    }
    return parts.join(QLatin1Char('&'));
}

// A request that could not be prepared: logged, and its failure block runs later on the main thread.
MFURLSessionTaskPtr failedToStart(const char *name, const QString &what,
                                  const MFHTTPSessionManager::Failure &failure) {
    merovantia::logCaught(name, what);
    const platform::Error error(QString(), 0, QString(), {{QStringLiteral("exception"), what}});
    platform::dispatchAsyncMain([failure, error, name] {
        if (failure)
            merovantia::runGuarded(name, [&] { failure(nullptr, error); });
    });
    return nullptr;
}

} // namespace

void MFMultipartFormData::appendPartWithFormData(const QByteArray &data, const QString &name) {
    m_parts.append({name, QString(), QByteArray(), data});
}

void MFMultipartFormData::appendPartWithFileData(const QByteArray &data, const QString &name,
                                                 const QString &fileName, const QByteArray &mimeType) {
    m_parts.append({name, fileName, mimeType, data});
}

QByteArray MFMultipartFormData::encode(QByteArray *contentType) const {
    const QByteArray boundary = "Boundary+" + QUuid::createUuid().toByteArray(QUuid::Id128).toUpper();
    auto quoted = [](const QString &text) {
        QByteArray value = text.toUtf8();
        value.replace('\\', "\\\\").replace('"', "\\\"").replace('\r', ' ').replace('\n', ' ');
        return value;
    };
    QByteArray body;
    for (const Part &part : m_parts) {
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + quoted(part.name) + '"';
        if (!part.fileName.isEmpty())
            body += "; filename=\"" + quoted(part.fileName) + '"';
        body += "\r\n";
        if (!part.mimeType.isEmpty())
            body += "Content-Type: " + part.mimeType + "\r\n";
        body += "\r\n" + part.data + "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    if (contentType)
        *contentType = "multipart/form-data; boundary=" + boundary;
    return body;
}

MFHTTPSessionManager::MFHTTPSessionManager(std::function<QUrl()> baseURL)
    : m_baseURL(std::move(baseURL)),
      m_session(new merovantia::HttpSession(QStringLiteral("MFHTTPSessionManager"))),
      m_serializer(std::make_shared<MFJSONResponseSerializer>()) {}

MFHTTPSessionManager::~MFHTTPSessionManager() = default;

QUrl MFHTTPSessionManager::baseURL() const {
    QUrl url = m_baseURL();
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    return url;
}

void MFHTTPSessionManager::setValueForHTTPHeaderField(const QByteArray &value, const QByteArray &field) {
    QMutexLocker lock(&m_mutex);
    for (auto &pair : m_headers) {
        if (pair.first.compare(field, Qt::CaseInsensitive) == 0) {
            pair.second = value;
            return;
        }
    }
    m_headers.append({field, value});
}

void MFHTTPSessionManager::removeHTTPHeaderField(const QByteArray &field) {
    QMutexLocker lock(&m_mutex);
    m_headers.removeIf([&](const auto &pair) { return pair.first.compare(field, Qt::CaseInsensitive) == 0; });
}

QByteArray MFHTTPSessionManager::valueForHTTPHeaderField(const QByteArray &field) const {
    QMutexLocker lock(&m_mutex);
    for (const auto &pair : m_headers) {
        if (pair.first.compare(field, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return {};
}

void MFHTTPSessionManager::setTimeoutInterval(int ms) {
    m_timeoutMs = ms;
}

void MFHTTPSessionManager::setResourceTimeoutInterval(int ms) {
    m_resourceTimeoutMs = ms;
}

void MFHTTPSessionManager::cancel(const MFURLSessionTaskPtr &task) {
    if (task)
        m_session->cancel(task->taskIdentifier);
}

void MFHTTPSessionManager::setResponseSerializer(std::shared_ptr<const MFResponseSerializer> serializer) {
    QMutexLocker lock(&m_mutex);
    m_serializer = std::move(serializer);
}

QVariantMap
MFHTTPSessionManager::parametersWithCommonParametersFromDictionary(const QVariantMap &parameters) const {
    QVariantMap common = parameters;
    const QString uuid = MFDataManager::sharedDataManager().uuid();
    if (!uuid.isEmpty())
        common.insert(QStringLiteral("uuid"), uuid);
    return common;
}

QString MFHTTPSessionManager::urlStringWithCommonQueryItemsWithURLString(const QString &urlString) const {
    QUrl url(urlString, QUrl::StrictMode);
    const QString uuid = MFDataManager::sharedDataManager().uuid();
    if (uuid.isEmpty() || !url.isValid())
        return urlString;
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("uuid"), uuid);
    url.setQuery(query);
    // Encoded, so the string parses back strictly into the same URL.
    return url.toString(QUrl::FullyEncoded);
}

MFURLSessionTaskPtr MFHTTPSessionManager::GET(const QString &urlString, const QVariant &parameters,
                                              Success success, Failure failure) {
    return dataTask("GET", urlString, parameters, {}, {}, std::move(success), std::move(failure));
}

MFURLSessionTaskPtr MFHTTPSessionManager::GET(const QString &urlString, const QVariant &parameters,
                                              Progress progress, Success success, Failure failure) {
    return dataTask("GET", urlString, parameters, {}, std::move(progress), std::move(success),
                    std::move(failure));
}

MFURLSessionTaskPtr MFHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               Success success, Failure failure) {
    return dataTask("POST", urlString, parameters, {}, {}, std::move(success), std::move(failure));
}

MFURLSessionTaskPtr MFHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               Progress progress, Success success, Failure failure) {
    return dataTask("POST", urlString, parameters, {}, std::move(progress), std::move(success),
                    std::move(failure));
}

MFURLSessionTaskPtr MFHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               ConstructingBody block, Success success, Failure failure) {
    return dataTask("POST", urlString, parameters,
                    block ? block : ConstructingBody([](MFMultipartFormData &) {}), {}, std::move(success),
                    std::move(failure));
}

MFURLSessionTaskPtr MFHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               ConstructingBody block, Progress progress, Success success,
                                               Failure failure) {
    return dataTask("POST", urlString, parameters,
                    block ? block : ConstructingBody([](MFMultipartFormData &) {}), std::move(progress),
                    std::move(success), std::move(failure));
}

MFURLSessionTaskPtr MFHTTPSessionManager::DELETE(const QString &urlString, const QVariant &parameters,
                                                 Success success, Failure failure) {
    TaskOptions options;
    options.commonFields = false;
    return dataTask("DELETE", urlString, parameters, {}, {}, std::move(success), std::move(failure), options);
}

MFURLSessionTaskPtr MFHTTPSessionManager::download(const QString &urlString, const QVariant &parameters,
                                                   const QString &destinationPath, Progress progress,
                                                   Success success, Failure failure) {
    TaskOptions options;
    options.downloadPath = destinationPath;
    options.name = "-[MFHTTPSessionManager download:parameters:destination:progress:success:failure:]";
    return dataTask("GET", urlString, parameters, {}, std::move(progress), std::move(success),
                    std::move(failure), options);
}

MFURLSessionTaskPtr MFHTTPSessionManager::dataTask(const QByteArray &method, const QString &urlString,
                                                   const QVariant &parameters,
                                                   const ConstructingBody &constructingBody,
                                                   Progress progress, Success success, Failure failure) {
    return dataTask(method, urlString, parameters, constructingBody, std::move(progress), std::move(success),
                    std::move(failure), TaskOptions());
}

MFURLSessionTaskPtr MFHTTPSessionManager::dataTask(const QByteArray &method, const QString &urlString,
                                                   const QVariant &parameters,
                                                   const ConstructingBody &constructingBody,
                                                   Progress progress, Success success, Failure failure,
                                                   const TaskOptions &options) {
    const char *name =
        options.name ? options.name : methodName(method, bool(progress), bool(constructingBody));
    // As the session layer the client was designed against: these verbs carry parameters in the query.
    const bool parametersInQuery = method == "GET" || method == "HEAD" || method == "DELETE";
    try {
        QString target = urlString;
        QVariant fields = parameters;
        if (options.commonFields) {
            if (method == "GET" && !parameters.isValid())
                target = urlStringWithCommonQueryItemsWithURLString(urlString);
            else
                fields = parametersWithCommonParametersFromDictionary(parameters.toMap());
        }

        const QUrl relative(target, QUrl::StrictMode);
        if (!relative.isValid())
            throw std::invalid_argument("invalid URL: " + urlString.toStdString());
        QUrl url = baseURL().resolved(relative);
        if (!url.isValid() || url.scheme().isEmpty())
            throw std::invalid_argument("invalid URL: " + urlString.toStdString());
        QByteArray body;
        QByteArray contentType;
        if (constructingBody) {
            MFMultipartFormData form;
            const QVariantMap map = fields.toMap();
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                form.appendPartWithFormData(it.value().toString().toUtf8(), it.key());
            constructingBody(form);
            body = form.encode(&contentType);
        } else if (parametersInQuery) {
            if (fields.isValid() && !fields.toMap().isEmpty()) {
                const QString query = url.query(QUrl::FullyEncoded);
                const QString extra = queryString(fields.toMap());
                url.setQuery(query.isEmpty() ? extra : query + QLatin1Char('&') + extra, QUrl::StrictMode);
            }
        } else {
            body = QJsonDocument(QJsonObject::fromVariantMap(fields.toMap())).toJson(QJsonDocument::Compact);
        }

        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        std::shared_ptr<const MFResponseSerializer> serializer;
        {
            QMutexLocker lock(&m_mutex);
            for (const auto &header : std::as_const(m_headers))
                request.setRawHeader(header.first, header.second);
            serializer = m_serializer;
        }
        if (!contentType.isEmpty())
            request.setRawHeader("Content-Type", contentType);
        else if (!body.isEmpty() && !request.hasRawHeader("Content-Type"))
            request.setRawHeader("Content-Type", "application/json");
        auto task = std::make_shared<MFURLSessionTask>();
        task->taskIdentifier = m_nextTaskIdentifier++;
        task->url = url;
        task->httpMethod = method;

        merovantia::HttpSession::Progress onProgress;
        if (progress) {
            onProgress = [progress, name](qint64 received, qint64 total) {
                platform::dispatchAsyncMain(
                    [=] { merovantia::runGuarded(name, [&] { progress(received, total); }); });
            };
        }
        const MFURLSessionTask requested = *task;
        merovantia::HttpOptions httpOptions;
        httpOptions.idleMs = m_timeoutMs;
        httpOptions.totalMs = m_resourceTimeoutMs;
        httpOptions.maxBodyBytes = m_maxReplyBytes;
        httpOptions.bodyFile = options.downloadPath;
        m_session->start(
            task->taskIdentifier, request, method, body, httpOptions,
            [requested, serializer, success, failure, name,
             downloading = !options.downloadPath.isEmpty()](const merovantia::HttpResult &result) {
                MFURLSessionTask answered = requested;
                answered.response = {result.url, result.status, result.headers};
                const auto done = std::make_shared<const MFURLSessionTask>(answered);
                platform::Error error = result.transportError;
                QVariant object;
                if (!result.bodyFile.isEmpty())
                    object = result.bodyFile; // a download: the body is in the file, not for the serializer
                else if (!error)
                    object = serializer->responseObjectForResponse(done->response, result.body, &error);
                // A download that wrote no file was answered with an error status, whatever the body.
                if (downloading && result.bodyFile.isEmpty() && !error)
                    MFHTTPResponseSerializer().validateResponse(done->response, result.body, &error);
                platform::dispatchAsyncMain([done, object, error, success, failure, name] {
                    // One request, one block: an exception in success never also runs failure.
                    if (error) {
                        if (failure)
                            merovantia::runGuarded(name, [&] { failure(done, error); });
                    } else if (success) {
                        merovantia::runGuarded(name, [&] { success(done, object); });
                    }
                });
            },
            std::move(onProgress));
        return task;
    } catch (const std::exception &exception) {
        return failedToStart(name, QString::fromUtf8(exception.what()), failure);
    } catch (...) {
        return failedToStart(name, QStringLiteral("unknown exception"), failure);
    }
}
