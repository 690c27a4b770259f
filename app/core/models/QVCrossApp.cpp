#include "core/models/QVCrossApp.h"

using platform::PropertyType;

platform::ObjectSchema QVCrossApp::schema() {
    const QVariantMap defaults = defaultPropertyValues();
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::String)
        .property(QStringLiteral("order"), PropertyType::Int)
        .property(QStringLiteral("showInPopup"), PropertyType::Bool)
        .property(QStringLiteral("showInTable"), PropertyType::Bool)
        .property(QStringLiteral("appName"), PropertyType::String)
        .property(QStringLiteral("appDescription"), PropertyType::String)
        .property(QStringLiteral("storeId"), PropertyType::String)
        .property(QStringLiteral("imageName"), PropertyType::String)
        .property(QStringLiteral("imageUrl"), PropertyType::String)
        .property(QStringLiteral("wasShown"), PropertyType::Bool, defaults.value(QStringLiteral("wasShown")))
        .indexed(QStringLiteral("wasShown"));
}

QString QVCrossApp::primaryKey() {
    return QStringLiteral("appID");
}

QVariantMap QVCrossApp::defaultPropertyValues() {
    return {{QStringLiteral("wasShown"), false}};
}

QVariantMap QVCrossApp::JSONInboundMappingDictionary() {
    return {
        {QStringLiteral("index"), QStringLiteral("appID")},
        {QStringLiteral("order"), QStringLiteral("order")},
        {QStringLiteral("showInPopup"), QStringLiteral("showInPopup")},
        {QStringLiteral("showInTable"), QStringLiteral("showInTable")},
        {QStringLiteral("title"), QStringLiteral("appName")},
        {QStringLiteral("description"), QStringLiteral("appDescription")},
        {QStringLiteral("storeId"), QStringLiteral("storeId")},
        {QStringLiteral("assetName"), QStringLiteral("imageName")},
        {QStringLiteral("assetUrl"), QStringLiteral("imageUrl")},
    };
}
