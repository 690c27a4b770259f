#pragma once

#include <merovantia/MFJSONResponseSerializer.h>
#include <merovantia/MFURLError.h>
#include <merovantia/MFURLSessionTask.h>

#include "platform/Error.h"

#include <QMutex>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>

namespace merovantia {
class HttpSession;
} // namespace merovantia

// The parts of a multipart/form-data body, filled by a request's constructing block.
class MFMultipartFormData {
public:
    struct Part {
        QString name;
        QString fileName; // empty for a plain field
        QByteArray mimeType;
        QByteArray data;
    };

    void appendPartWithFormData(const QByteArray &data, const QString &name);
    void appendPartWithFileData(const QByteArray &data, const QString &name, const QString &fileName,
                                const QByteArray &mimeType);

    const QList<Part> &parts() const { return m_parts; }
    // The encoded body and its Content-Type (with the boundary).
    QByteArray encode(QByteArray *contentType) const;

private:
    QList<Part> m_parts;
};

// A JSON session manager on a base URL that adds the common fields (the installation
// identifier "uuid") to every GET and POST. Completion blocks run on the main thread,
// exactly one per request; an exception thrown by a block is logged and goes no further.
// Parameters: a QVariantMap, or a null QVariant for none.
//
//   MFHTTPSessionManager client([] { return QUrl("https://host/v2/api/"); });
//   auto task = client.POST("auth/login", QVariantMap{{"email", e}}, onSuccess, onFailure);
//   client.cancel(task);   // onFailure(task, error -999), once, later on the main thread
//   client.download("files/a.zip", {}, "/path/a.zip", onProgress, onSaved, onFailure);
//
// Every request has an idle time-out (setTimeoutInterval) and an overall deadline
// (setResourceTimeoutInterval); both start when the request goes out. Redirects are
// followed only within the request's scheme, host and port (MFURLErrorRedirectRefused,
// or MFURLErrorInsecureRedirect for https to http). A reply held in memory is capped at
// kMFMaxReplyBytes (MFURLErrorDataLengthExceedsMaximum); download() streams to a file.
// Destroying the manager ends every pending request with MFURLErrorCancelled.
class MFHTTPSessionManager {
public:
    using Success = std::function<void(const MFURLSessionTaskPtr &task, const QVariant &responseObject)>;
    using Failure = std::function<void(const MFURLSessionTaskPtr &task, const platform::Error &error)>;
    // GET: bytes received; POST: bytes of the body sent.
    using Progress = std::function<void(qint64 completed, qint64 total)>;
    using ConstructingBody = std::function<void(MFMultipartFormData &formData)>;

    // The base URL is asked for at every request, so configuration changes apply at once.
    explicit MFHTTPSessionManager(std::function<QUrl()> baseURL);
    virtual ~MFHTTPSessionManager();
    MFHTTPSessionManager(const MFHTTPSessionManager &) = delete;
    MFHTTPSessionManager &operator=(const MFHTTPSessionManager &) = delete;

    // Null when the request could not be prepared (the failure block then runs).
    MFURLSessionTaskPtr GET(const QString &urlString, const QVariant &parameters, Success success,
                            Failure failure);
    MFURLSessionTaskPtr GET(const QString &urlString, const QVariant &parameters, Progress progress,
                            Success success, Failure failure);
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, Success success,
                             Failure failure);
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, Progress progress,
                             Success success, Failure failure);
    // Multipart: the parameters (with "uuid") as form fields, then the block's parts.
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, ConstructingBody block,
                             Success success, Failure failure);
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, ConstructingBody block,
                             Progress progress, Success success, Failure failure);
    // DELETE goes out as built, without the common fields: parameters (if any) become the query.
    MFURLSessionTaskPtr DELETE(const QString &urlString, const QVariant &parameters, Success success,
                               Failure failure);

    // A GET (with the common fields) whose 2xx body is written to destinationPath as it
    // arrives, never held in memory and never capped. The file is replaced only once the
    // body is complete; after a failure or cancel it is as it was. Success gets the path
    // (a QString) as its response object; a non-2xx reply fails through the serializer.
    // Big files need a longer overall deadline (setResourceTimeoutInterval).
    MFURLSessionTaskPtr download(const QString &urlString, const QVariant &parameters,
                                 const QString &destinationPath, Progress progress, Success success,
                                 Failure failure);

    // Ends the request once with MFURLErrorCancelled (-999) through its failure block, later
    // on the main thread. Nothing happens for a null task or one that has already ended.
    void cancel(const MFURLSessionTaskPtr &task);

    // The common-field steps; subclasses may add their own fields.
    virtual QVariantMap parametersWithCommonParametersFromDictionary(const QVariantMap &parameters) const;
    virtual QString urlStringWithCommonQueryItemsWithURLString(const QString &urlString) const;

    QUrl baseURL() const;

    // Request headers. Each request takes a copy when it starts, so a later change
    // never reaches a request already on its way.
    void setValueForHTTPHeaderField(const QByteArray &value, const QByteArray &field);
    void removeHTTPHeaderField(const QByteArray &field);
    QByteArray valueForHTTPHeaderField(const QByteArray &field) const;

    // Time-out without traffic, in milliseconds (default 60 s).
    void setTimeoutInterval(int ms);
    int timeoutInterval() const { return m_timeoutMs; }
    // Deadline for the whole exchange, in milliseconds (default 60 s).
    void setResourceTimeoutInterval(int ms);
    int resourceTimeoutInterval() const { return m_resourceTimeoutMs; }
    // Largest reply body held in memory (default kMFMaxReplyBytes); downloads have none.
    void setMaximumReplyBytes(qint64 bytes) { m_maxReplyBytes = bytes; }

    void setResponseSerializer(std::shared_ptr<const MFResponseSerializer> serializer);

protected:
    MFURLSessionTaskPtr dataTask(const QByteArray &method, const QString &urlString,
                                 const QVariant &parameters, const ConstructingBody &constructingBody,
                                 Progress progress, Success success, Failure failure);

    struct TaskOptions {
        bool commonFields = true;   // "uuid" (and a subclass's fields) into parameters or query
        QString downloadPath;       // stream a 2xx body into this file
        const char *name = nullptr; // the operation's full name for diagnostic lines
    };
    MFURLSessionTaskPtr dataTask(const QByteArray &method, const QString &urlString,
                                 const QVariant &parameters, const ConstructingBody &constructingBody,
                                 Progress progress, Success success, Failure failure,
                                 const TaskOptions &options);

private:
    std::function<QUrl()> m_baseURL;
    std::unique_ptr<merovantia::HttpSession> m_session;
    mutable QMutex m_mutex;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    std::shared_ptr<const MFResponseSerializer> m_serializer;
    std::atomic<int> m_timeoutMs{60000};
    std::atomic<int> m_resourceTimeoutMs{60000};
    std::atomic<qint64> m_maxReplyBytes{kMFMaxReplyBytes};
    std::atomic<quint64> m_nextTaskIdentifier{1};
};
