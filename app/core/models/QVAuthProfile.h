#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// The profile of the signed-in user, stored from the backend's user object
// after a sign-in or a profile refresh and deleted at sign-out. The account
// token itself lives in the user defaults, not here. Unset numbers read as 0
// or false; get<std::optional<...>>() tells them apart.
class QVAuthProfile : public platform::Object {
public:
    QV_STORE_MODEL(QVAuthProfile)

    static platform::ObjectSchema schema();
    static QString primaryKey();
    // User-object key -> property.
    static QVariantMap JSONInboundMappingDictionary();

    QV_STORE_PROPERTY(qint64, idProfile, setIdProfile)
    QV_STORE_PROPERTY(QString, userName, setUserName)
    QV_STORE_PROPERTY(QString, email, setEmail)
    QV_STORE_PROPERTY(QString, phoneNumber, setPhoneNumber)
    QV_STORE_PROPERTY(bool, isVerify, setIsVerify)
    QV_STORE_PROPERTY(float, createdAt, setCreatedAt)
    QV_STORE_PROPERTY(float, updatedAt, setUpdatedAt)
    QV_STORE_PROPERTY(QString, role, setRole)
    QV_STORE_PROPERTY(bool, isSubscribedToNews, setIsSubscribedToNews)
};
