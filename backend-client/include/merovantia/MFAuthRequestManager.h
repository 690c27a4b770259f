#pragma once

#include <merovantia/MFHTTPSessionManager.h>

#include <QString>
#include <QVariantMap>

// The account client: requests to "<account host>/v2/api/". Success blocks get
// the reply's "data"; a reply without it calls the failure block with no error
// (a null Error). Exactly one block runs per request, on the main thread.
class MFAuthRequestManager : public MFHTTPSessionManager {
public:
    using DataSuccess = std::function<void(const QVariant &data)>;
    using ErrorFailure = std::function<void(const platform::Error &error)>;
    using ReplySuccess = std::function<void(const MFURLSessionTaskPtr &task, const QVariant &responseObject)>;

    static MFAuthRequestManager &instance();

    // The "Authorization" header as given (the caller supplies the scheme word).
    void setAuthToken(const QString &token);
    void clearAuthorization();

    MFURLSessionTaskPtr loginWithEmail(const QString &email, const QString &password, const QString &locale,
                                       const QString &osPlatform, DataSuccess success, ErrorFailure failure);
    // The role argument is not sent: every registration is a "preCustomer".
    MFURLSessionTaskPtr registerUserWithName(const QString &name, const QString &email,
                                             const QString &password, const QString &phoneNumber,
                                             const QString &role, const QString &locale,
                                             const QString &osPlatform, DataSuccess success,
                                             ErrorFailure failure);
    MFURLSessionTaskPtr resetPassword(const QString &email, DataSuccess success, ErrorFailure failure);
    // Any successful reply reaches success whole.
    MFURLSessionTaskPtr logoutUserWithOsPlatform(const QString &osPlatform, ReplySuccess success,
                                                 ErrorFailure failure);
    MFURLSessionTaskPtr getUserWithOsPlatform(const QString &osPlatform, DataSuccess success,
                                              ErrorFailure failure);
    // The parameters with "platform" and "locale" set (a null value removes the key).
    MFURLSessionTaskPtr authViaFacebookWithParameters(const QVariantMap &parameters,
                                                      const QString &osPlatform, const QString &locale,
                                                      DataSuccess success, ErrorFailure failure);

    // JSON error bodies mapped, "text/html" accepted as raw data (installed by instance()).
    void setDefaultResponseSerializer();
    // Raw data of "text/html" replies only.
    void setHttpResponseSerializer();

    // "<account host>/v2/api/".
    static QUrl accountBaseURL();

private:
    MFAuthRequestManager();
};
