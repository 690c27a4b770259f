#pragma once

#include "core/mapping/ValueTransformer.h"

#include "platform/store/ObjectStore.h"

// Turns a primary-key value into the stored object of a model class (in the
// default store), for link properties fed by an identifier.
class MCJSONPrimaryKeyTransformer : public ValueTransformer {
public:
    static ValueTransformerPtr valueTransformerWithRealmClass(const QString &className) {
        return std::make_shared<MCJSONPrimaryKeyTransformer>(className);
    }
    // Keeps the class only when the default store declares it with a primary key.
    explicit MCJSONPrimaryKeyTransformer(const QString &className);

    // QVariant<platform::Object>, or nothing when the value, the class or the object is missing.
    QVariant transformedValue(const QVariant &value) const override;

    const QString &realmClassToMap() const { return m_realmClassToMap; }
    void setRealmClassToMap(const QString &className) { m_realmClassToMap = className; }

private:
    QString m_realmClassToMap;
};
