#include <merovantia/SAMKeychain.h>

#include <merovantia/SAMKeychainQuery.h>

const char *const kSAMKeychainErrorDomain = "com.quorvalde.merovantia.keychain";
const char *const kSAMKeychainAccountKey = "acct";
const char *const kSAMKeychainCreatedAtKey = "cdat";
const char *const kSAMKeychainClassKey = "labl";
const char *const kSAMKeychainDescriptionKey = "desc";
const char *const kSAMKeychainLabelKey = "labl";
const char *const kSAMKeychainLastModifiedKey = "mdat";
const char *const kSAMKeychainWhereKey = "svce";

QString SAMKeychain::passwordForService(const QString &service, const QString &account,
                                        platform::Error *error) {
    SAMKeychainQuery query;
    query.service = service;
    query.account = account;
    query.fetch(error);
    return query.password();
}

QByteArray SAMKeychain::passwordDataForService(const QString &service, const QString &account,
                                               platform::Error *error) {
    SAMKeychainQuery query;
    query.service = service;
    query.account = account;
    query.fetch(error);
    return query.passwordData;
}

bool SAMKeychain::setPassword(const QString &password, const QString &service, const QString &account,
                              platform::Error *error) {
    SAMKeychainQuery query;
    query.service = service;
    query.account = account;
    query.setPassword(password);
    return query.save(error);
}

bool SAMKeychain::setPasswordData(const QByteArray &password, const QString &service, const QString &account,
                                  platform::Error *error) {
    SAMKeychainQuery query;
    query.service = service;
    query.account = account;
    query.passwordData = password;
    return query.save(error);
}

bool SAMKeychain::deletePasswordForService(const QString &service, const QString &account,
                                           platform::Error *error) {
    SAMKeychainQuery query;
    query.service = service;
    query.account = account;
    return query.deleteItem(error);
}

QList<QVariantMap> SAMKeychain::allAccounts(platform::Error *error) {
    return accountsForService({}, error);
}

QList<QVariantMap> SAMKeychain::accountsForService(const QString &service, platform::Error *error) {
    SAMKeychainQuery query;
    query.service = service;
    return query.fetchAll(error);
}
