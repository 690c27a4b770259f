#pragma once

#include <merovantia/MFHTTPSessionManager.h>

#include <QString>
#include <QVariantMap>

// Common base of the application's API clients. Every GET and POST carries
// "platform" = "macOS" and, once the backend client has stored it, the
// installation identifier "uuid"; DELETE goes out as the backend client builds
// it, without either. Each request writes one diagnostic line naming its path
// and parameter keys (never their values: they hold the user's text).
//
//   class QVRequestManager : public QVHTTPSessionManager { ... };
//   MFURLSessionTaskPtr task = manager.POST("translate", QVariantMap{{"to", "de_DE"}},
//       [](const MFURLSessionTaskPtr &, const QVariant &reply) { ... },
//       [](const MFURLSessionTaskPtr &, const platform::Error &error) { ... });
//   manager.cancel(task); // the failure block runs once, with NSURLErrorDomain -999
//
// Exactly one block runs per request, on the main thread. An exception thrown
// by a success block is reported through DevLogger and goes no further.
class QVHTTPSessionManager : public MFHTTPSessionManager {
public:
    static constexpr const char *kPlatform = "macOS";
    static constexpr const char *kPlatformKey = "platform";
    static constexpr const char *kUuidKey = "uuid";

    explicit QVHTTPSessionManager(std::function<QUrl()> baseURL);

    MFURLSessionTaskPtr GET(const QString &urlString, const QVariant &parameters, Success success,
                            Failure failure);
    MFURLSessionTaskPtr GET(const QString &urlString, const QVariant &parameters, Progress progress,
                            Success success, Failure failure);
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, Success success,
                             Failure failure);
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, Progress progress,
                             Success success, Failure failure);
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, ConstructingBody block,
                             Success success, Failure failure);
    MFURLSessionTaskPtr POST(const QString &urlString, const QVariant &parameters, ConstructingBody block,
                             Progress progress, Success success, Failure failure);

    // "uuid" (when known), then "platform" over whatever the caller put there.
    QVariantMap parametersWithCommonParametersFromDictionary(const QVariantMap &parameters) const override;
    // The URL's own query items in order, then "platform" and "uuid"; an item of
    // the same name already in the query takes the common value where it stands.
    QString urlStringWithCommonQueryItemsWithURLString(const QString &urlString) const override;

    // The identifier sent as "uuid": the settings record's, which is read from
    // the keychain once and then kept. Empty until the backend client stored it.
    virtual QString installationIdentifier() const;

    // "### POST. URLString: '<path?keys>' | parameters: (<keys>)": no value appears.
    static QString requestLogLine(const QString &urlString, const QVariant &parameters);
    // A query string ("a=1&b=x%20y") from ordered pairs, each value fully percent-encoded.
    static QString encodedQuery(const QList<QPair<QString, QString>> &items);

private:
    Success guardedSuccess(Success success, const char *selector) const;
    void logRequest(const QString &urlString, const QVariant &parameters) const;
};
