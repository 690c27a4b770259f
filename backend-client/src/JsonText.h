#pragma once

#include <QByteArray>
#include <QVariant>

namespace merovantia {

// The JSON text of a reply body: a UTF-8 byte order mark in front is not part of it.
// Both clients read replies through this, so they agree on what is JSON.
QByteArray jsonText(const QByteArray &body);

// True only when a reply's "status" is exactly 200: a number too large for an int
// must not wrap around to it.
bool isStatus200(const QVariant &status);

} // namespace merovantia
