#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// Reading loosely typed JSON values into the plain models of server replies.
namespace jsonmodel {

// A string as it is; a number as its text (versions come either way); else empty.
QString string(const QVariant &value);
// A whole number, or the decimal text of one; else nothing.
std::optional<qint64> wholeNumber(const QVariant &value);

} // namespace jsonmodel
