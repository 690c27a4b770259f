#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// Helpers shared by the model classes for values that arrive as loosely typed
// dictionaries (backend replies, service results).
namespace modelvalues {

// A standalone object initialised from a dictionary keyed by property names
// (the database's initWithValue:). Scalars are coerced to their property's
// type; values that do not fit, unknown keys and non-object list elements are
// skipped with a diagnostic line, so a malformed item never throws.
platform::Object initWithValue(const platform::ObjectSchema &schema, const QVariantMap &values);

// Sets one property of a standalone object, or of a stored one inside tx;
// false (and nothing changed) when the value does not fit the property.
bool trySet(const platform::Object &object, platform::Transaction *tx, const QString &property,
            const QVariant &value);

// A text value: strings as they are, numbers in their decimal form; null,
// dictionaries, arrays and other kinds give a null QString.
QString text(const QVariant &value);

// A whole number from a number or a numeric string; nullopt otherwise.
std::optional<qint64> integer(const QVariant &value);

} // namespace modelvalues
