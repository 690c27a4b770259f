#pragma once

#include "core/mapping/ValueTransformer.h"

#include <QVariantMap>

// Maps known JSON values to property values through a fixed dictionary.
class MCJSONValueTransformer : public ValueTransformer {
public:
    static ValueTransformerPtr valueTransformerWithMappingDictionary(const QVariantMap &mappingDictionary) {
        return std::make_shared<MCJSONValueTransformer>(mappingDictionary);
    }
    explicit MCJSONValueTransformer(QVariantMap mappingDictionary)
        : m_mappingDictionary(std::move(mappingDictionary)) {}

    // The entry for the value (as a key), or nothing.
    QVariant transformedValue(const QVariant &value) const override;
    // The first key (in key order) whose entry equals the value, or nothing.
    QVariant reverseTransformedValue(const QVariant &value) const override;
    bool allowsReverseTransformation() const override { return true; }

    const QVariantMap &mappingDictionary() const { return m_mappingDictionary; }
    void setMappingDictionary(const QVariantMap &mappingDictionary) {
        m_mappingDictionary = mappingDictionary;
    }

private:
    QVariantMap m_mappingDictionary;
};
