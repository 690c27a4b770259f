#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// One entry of the maker's cross-promotion table. Stored from the backend's
// array; wasShown is local state that no JSON carries, so a re-import keeps it.
class QVCrossApp : public platform::Object {
public:
    QV_STORE_MODEL(QVCrossApp)

    static platform::ObjectSchema schema();
    static QString primaryKey();
    static QVariantMap defaultPropertyValues();
    // Backend key -> property.
    static QVariantMap JSONInboundMappingDictionary();

    QV_STORE_PROPERTY(QString, appID, setAppID)
    QV_STORE_PROPERTY(qint64, order, setOrder)
    QV_STORE_PROPERTY(bool, showInPopup, setShowInPopup)
    QV_STORE_PROPERTY(bool, showInTable, setShowInTable)
    QV_STORE_PROPERTY(QString, appName, setAppName)
    QV_STORE_PROPERTY(QString, appDescription, setAppDescription)
    QV_STORE_PROPERTY(QString, storeId, setStoreId)
    QV_STORE_PROPERTY(QString, imageName, setImageName)
    QV_STORE_PROPERTY(QString, imageUrl, setImageUrl)
    QV_STORE_PROPERTY(bool, wasShown, setWasShown)
};
