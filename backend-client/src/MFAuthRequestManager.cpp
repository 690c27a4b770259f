#include <merovantia/MFAuthRequestManager.h>

#include "platform/BackendConfig.h"

#include <QUrlQuery>

namespace {

constexpr int kTimeoutMs = 15000;
const QString kDataKey = QStringLiteral("data");

// Success gets the reply's "data"; a reply without it (or not an object) goes to failure with no error.
MFHTTPSessionManager::Success dataSuccess(MFAuthRequestManager::DataSuccess success,
                                          MFAuthRequestManager::ErrorFailure failure) {
    return [success = std::move(success), failure = std::move(failure)](const MFURLSessionTaskPtr &,
                                                                        const QVariant &reply) {
        const QVariantMap object = reply.toMap();
        if (reply.typeId() == QMetaType::QVariantMap && object.contains(kDataKey)) {
            if (success)
                success(object.value(kDataKey));
        } else if (failure) {
            failure(platform::Error());
        }
    };
}

MFHTTPSessionManager::Failure errorFailure(MFAuthRequestManager::ErrorFailure failure) {
    return [failure = std::move(failure)](const MFURLSessionTaskPtr &, const platform::Error &error) {
        if (failure)
            failure(error);
    };
}

} // namespace

MFAuthRequestManager &MFAuthRequestManager::instance() {
    static MFAuthRequestManager *instance = new MFAuthRequestManager;
    return *instance;
}

MFAuthRequestManager::MFAuthRequestManager() : MFHTTPSessionManager(&MFAuthRequestManager::accountBaseURL) {
    setValueForHTTPHeaderField("application/json", "Content-Type");
    setValueForHTTPHeaderField("application/json", "Accept");
    setTimeoutInterval(kTimeoutMs);
    setDefaultResponseSerializer();
}

QUrl MFAuthRequestManager::accountBaseURL() {
    QUrl url = platform::BackendConfig::accountHost();
    url.setPath(url.path() + QStringLiteral("/v2/api/"));
    return url;
}

void MFAuthRequestManager::setAuthToken(const QString &token) {
    setValueForHTTPHeaderField(token.toUtf8(), "Authorization");
}

void MFAuthRequestManager::clearAuthorization() {
    removeHTTPHeaderField("Authorization");
}

void MFAuthRequestManager::setDefaultResponseSerializer() {
    setResponseSerializer(
        std::make_shared<MFCompoundResponseSerializer>(QList<std::shared_ptr<const MFResponseSerializer>>{
            std::make_shared<MFJSONResponseSerializer>(),
            std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{"text/html"})}));
}

void MFAuthRequestManager::setHttpResponseSerializer() {
    setResponseSerializer(std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{"text/html"}));
}

MFURLSessionTaskPtr MFAuthRequestManager::loginWithEmail(const QString &email, const QString &password,
                                                         const QString &locale, const QString &osPlatform,
                                                         DataSuccess success, ErrorFailure failure) {
    const QVariantMap parameters{{QStringLiteral("email"), email},
                                 {QStringLiteral("password"), password},
                                 {QStringLiteral("locale"), locale},
                                 {QStringLiteral("platform"), osPlatform}};
    return POST(QStringLiteral("auth/login"), parameters, dataSuccess(success, failure),
                errorFailure(failure));
}

MFURLSessionTaskPtr MFAuthRequestManager::registerUserWithName(const QString &name, const QString &email,
                                                               const QString &password,
                                                               const QString &phoneNumber, const QString &,
                                                               const QString &locale,
                                                               const QString &osPlatform, DataSuccess success,
                                                               ErrorFailure failure) {
    QVariantMap parameters{
        {QStringLiteral("username"), name},     {QStringLiteral("email"), email},
        {QStringLiteral("password"), password}, {QStringLiteral("role"), QStringLiteral("preCustomer")},
        {QStringLiteral("locale"), locale},     {QStringLiteral("platform"), osPlatform}};
    if (!phoneNumber.isEmpty())
        parameters.insert(QStringLiteral("phone"), phoneNumber);
    return POST(QStringLiteral("auth/registration"), parameters, dataSuccess(success, failure),
                errorFailure(failure));
}

MFURLSessionTaskPtr MFAuthRequestManager::resetPassword(const QString &email, DataSuccess success,
                                                        ErrorFailure failure) {
    return POST(QStringLiteral("auth/password/forgot"), QVariantMap{{QStringLiteral("email"), email}},
                dataSuccess(success, failure), errorFailure(failure));
}

MFURLSessionTaskPtr MFAuthRequestManager::logoutUserWithOsPlatform(const QString &osPlatform,
                                                                   ReplySuccess success,
                                                                   ErrorFailure failure) {
    return POST(QStringLiteral("auth/logout"), QVariantMap{{QStringLiteral("platform"), osPlatform}},
                std::move(success), errorFailure(failure));
}

MFURLSessionTaskPtr MFAuthRequestManager::getUserWithOsPlatform(const QString &osPlatform,
                                                                DataSuccess success, ErrorFailure failure) {
    QUrl url = baseURL().resolved(QUrl(QStringLiteral("user")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("platform"), osPlatform);
    url.setQuery(query);
    return GET(url.toString(QUrl::FullyEncoded), QVariant(), dataSuccess(success, failure),
               errorFailure(failure));
}

MFURLSessionTaskPtr MFAuthRequestManager::authViaFacebookWithParameters(const QVariantMap &parameters,
                                                                        const QString &osPlatform,
                                                                        const QString &locale,
                                                                        DataSuccess success,
                                                                        ErrorFailure failure) {
    QVariantMap fields = parameters;
    auto set = [&fields](const QString &key, const QString &value) {
        if (value.isNull())
            fields.remove(key);
        else
            fields.insert(key, value);
    };
    set(QStringLiteral("platform"), osPlatform);
    set(QStringLiteral("locale"), locale);
    return POST(QStringLiteral("auth/facebook"), fields, dataSuccess(success, failure),
                errorFailure(failure));
}
