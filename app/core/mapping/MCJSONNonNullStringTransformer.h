#pragma once

#include "core/mapping/ValueTransformer.h"

// Null (or nothing) becomes the empty string; anything else passes unchanged.
class MCJSONNonNullStringTransformer : public ValueTransformer {
public:
    static ValueTransformerPtr valueTransformer() {
        return std::make_shared<MCJSONNonNullStringTransformer>();
    }

    QVariant transformedValue(const QVariant &value) const override {
        return isNullValue(value) ? QVariant(QStringLiteral("")) : value;
    }
    QVariant reverseTransformedValue(const QVariant &value) const override { return value; }
    bool allowsReverseTransformation() const override { return true; }
};
