#include "core/models/QVAuthProfile.h"

using platform::PropertyType;

platform::ObjectSchema QVAuthProfile::schema() {
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::Int)
        .property(QStringLiteral("userName"), PropertyType::String)
        .property(QStringLiteral("email"), PropertyType::String)
        .property(QStringLiteral("phoneNumber"), PropertyType::String)
        .property(QStringLiteral("isVerify"), PropertyType::Bool)
        .property(QStringLiteral("createdAt"), PropertyType::Float)
        .property(QStringLiteral("updatedAt"), PropertyType::Float)
        .property(QStringLiteral("role"), PropertyType::String)
        .property(QStringLiteral("isSubscribedToNews"), PropertyType::Bool);
}

QString QVAuthProfile::primaryKey() {
    return QStringLiteral("idProfile");
}

QVariantMap QVAuthProfile::JSONInboundMappingDictionary() {
    return {
        {QStringLiteral("id"), QStringLiteral("idProfile")},
        {QStringLiteral("username"), QStringLiteral("userName")},
        {QStringLiteral("email"), QStringLiteral("email")},
        {QStringLiteral("phone"), QStringLiteral("phoneNumber")},
        {QStringLiteral("isVerify"), QStringLiteral("isVerify")},
        {QStringLiteral("createdAt"), QStringLiteral("createdAt")},
        {QStringLiteral("updatedAt"), QStringLiteral("updatedAt")},
        {QStringLiteral("role"), QStringLiteral("role")},
        {QStringLiteral("isSubscribedToNews"), QStringLiteral("isSubscribedToNews")},
    };
}
