#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

// Keys of the item dictionaries returned by the account listings.
extern const char *const kSAMKeychainErrorDomain;
extern const char *const kSAMKeychainAccountKey;
extern const char *const kSAMKeychainCreatedAtKey;
extern const char *const kSAMKeychainClassKey;
extern const char *const kSAMKeychainDescriptionKey;
extern const char *const kSAMKeychainLabelKey;
extern const char *const kSAMKeychainLastModifiedKey;
extern const char *const kSAMKeychainWhereKey;

// The keychain wrapper: generic passwords by service and account, over the
// process's secure store (the Secret Service, or the 0600 file store).
class SAMKeychain {
public:
    static QString passwordForService(const QString &service, const QString &account,
                                      platform::Error *error = nullptr);
    static QByteArray passwordDataForService(const QString &service, const QString &account,
                                             platform::Error *error = nullptr);
    static bool setPassword(const QString &password, const QString &service, const QString &account,
                            platform::Error *error = nullptr);
    static bool setPasswordData(const QByteArray &password, const QString &service, const QString &account,
                                platform::Error *error = nullptr);
    static bool deletePasswordForService(const QString &service, const QString &account,
                                         platform::Error *error = nullptr);
    static QList<QVariantMap> allAccounts(platform::Error *error = nullptr);
    static QList<QVariantMap> accountsForService(const QString &service, platform::Error *error = nullptr);

    SAMKeychain() = delete;
};
