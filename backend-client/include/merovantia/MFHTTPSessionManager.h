#pragma once

#include <merovantia/MFJSONResponseSerializer.h>
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

// A JSON session manager on a base URL that adds the installation identifier
// ("uuid") to every GET and POST. Completion blocks run on the main thread,
// exactly one per request; an exception thrown by a block is logged and goes
// no further. Parameters: a QVariantMap, or a null QVariant for none.
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

    // Ends a request still on its way: its failure block runs once, with NSURLErrorDomain -999.
    // A finished or unknown task is left alone.
    void cancel(const MFURLSessionTaskPtr &task);

    // The common-field step; subclasses add their own fields.
    virtual QVariantMap parametersWithCommonParametersFromDictionary(const QVariantMap &parameters) const;
    virtual QString urlStringWithCommonQueryItemsWithURLString(const QString &urlString) const;

    QUrl baseURL() const;

    // Request headers. Each request takes a copy when it starts, so a later change
    // never reaches a request already on its way.
    void setValueForHTTPHeaderField(const QByteArray &value, const QByteArray &field);
    void removeHTTPHeaderField(const QByteArray &field);
    QByteArray valueForHTTPHeaderField(const QByteArray &field) const;

    // Time-out without traffic, in milliseconds.
    void setTimeoutInterval(int ms);
    int timeoutInterval() const { return m_timeoutMs; }
    // Deadline for the whole exchange, in milliseconds.
    void setResourceTimeoutInterval(int ms);
    int resourceTimeoutInterval() const { return m_resourceTimeoutMs; }

    void setResponseSerializer(std::shared_ptr<const MFResponseSerializer> serializer);

protected:
    MFURLSessionTaskPtr dataTask(const QByteArray &method, const QString &urlString,
                                 const QVariant &parameters, const ConstructingBody &constructingBody,
                                 Progress progress, Success success, Failure failure);

private:
    struct Pending;
    struct PendingRegistry;
    std::function<QUrl()> m_baseURL;
    std::unique_ptr<merovantia::HttpSession> m_session;
    mutable QMutex m_mutex;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    std::shared_ptr<const MFResponseSerializer> m_serializer;
    std::atomic<int> m_timeoutMs{60000};
    std::atomic<int> m_resourceTimeoutMs{7 * 24 * 3600 * 1000};
    std::atomic<quint64> m_nextTaskIdentifier{1};
    std::shared_ptr<PendingRegistry> m_pending;
};
