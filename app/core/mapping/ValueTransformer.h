#pragma once

#include <QString>
#include <QVariant>

#include <memory>

// Converts one JSON value into a property's value (forward) and back
// (reverse), with a process-wide registry of named transformers.
class ValueTransformer {
public:
    virtual ~ValueTransformer() = default;

    virtual QVariant transformedValue(const QVariant &value) const = 0;
    // Default: no reverse transformation (nothing).
    virtual QVariant reverseTransformedValue(const QVariant &value) const;
    virtual bool allowsReverseTransformation() const { return false; }

    // The registry may be read from any thread.
    static void setValueTransformer(std::shared_ptr<ValueTransformer> transformer, const QString &name);
    static std::shared_ptr<ValueTransformer> valueTransformerForName(const QString &name);
};

using ValueTransformerPtr = std::shared_ptr<ValueTransformer>;

// True for a null JSON value or an absent one.
bool isNullValue(const QVariant &value);
