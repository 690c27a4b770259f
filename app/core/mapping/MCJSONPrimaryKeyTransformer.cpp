#include "core/mapping/MCJSONPrimaryKeyTransformer.h"

MCJSONPrimaryKeyTransformer::MCJSONPrimaryKeyTransformer(const QString &className) {
    const platform::ObjectSchema *schema = platform::ObjectStore::defaultStore().schemaFor(className);
    if (schema && !schema->primaryKeyName().isEmpty())
        m_realmClassToMap = className;
}

QVariant MCJSONPrimaryKeyTransformer::transformedValue(const QVariant &value) const {
    if (isNullValue(value) || m_realmClassToMap.isEmpty())
        return {};
    const platform::Object object =
        platform::ObjectStore::defaultStore().objectForPrimaryKey(m_realmClassToMap, value);
    return object.isNull() ? QVariant() : QVariant::fromValue(object);
}
