#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// How a query treats items synchronised between devices.
enum class SAMKeychainQuerySynchronizationMode : unsigned { Any = 0, No = 1, Yes = 2 };

// One keychain query: the generic-password item named by service and account.
// Operations take an optional error out-parameter (domain kSAMKeychainErrorDomain,
// code = the store's status, or -1001 for missing arguments).
class SAMKeychainQuery {
public:
    QString account;
    QString service;
    QString label;
    QByteArray passwordData;
    QString accessGroup;
    SAMKeychainQuerySynchronizationMode synchronizationMode = SAMKeychainQuerySynchronizationMode::Any;

    // UTF-8 view of passwordData; empty data reads as a null string.
    QString password() const;
    void setPassword(const QString &password);
    // Archived-object view of passwordData; empty data reads as an invalid QVariant.
    QVariant passwordObject() const;
    void setPasswordObject(const QVariant &object);

    bool save(platform::Error *error = nullptr);
    bool deleteItem(platform::Error *error = nullptr);
    // Attribute dictionaries ("acct", "svce", "labl", "cdat", "mdat") of every
    // item matching the service (all items without one); empty on failure.
    QList<QVariantMap> fetchAll(platform::Error *error = nullptr);
    bool fetch(platform::Error *error = nullptr);

    // The base query, as attribute keys and values.
    QVariantMap query() const;

    static bool isSynchronizationAvailable();
    // Null for status 0.
    static platform::Error errorWithCode(int code);
};
