#include "core/mapping/MCJSONValueTransformer.h"

QVariant MCJSONValueTransformer::transformedValue(const QVariant &value) const {
    if (isNullValue(value))
        return {};
    auto it = m_mappingDictionary.constFind(value.toString());
    return it == m_mappingDictionary.constEnd() ? QVariant() : it.value();
}

QVariant MCJSONValueTransformer::reverseTransformedValue(const QVariant &value) const {
    if (isNullValue(value))
        return {};
    for (auto it = m_mappingDictionary.cbegin(); it != m_mappingDictionary.cend(); ++it) {
        if (it.value() == value)
            return it.key();
    }
    return {};
}
