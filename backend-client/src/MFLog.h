#pragma once

#include "platform/Error.h"

#include <QString>
#include <QVariant>

namespace merovantia {

// The framework's own diagnostic lines (it cannot reach the application's log).
// "%s %@": the method's full name and what was caught.
void logCaught(const char *method, const QString &what);
// An error as one line: Error Domain=... Code=... "description" UserInfo={...}
QString describe(const platform::Error &error);

// Runs a caller's block; an exception thrown by it is written as a diagnostic
// line and goes no further.
template <typename Block> void runGuarded(const char *method, Block &&block) {
    try {
        block();
    } catch (const std::exception &exception) {
        logCaught(method, QString::fromUtf8(exception.what()));
    } catch (...) {
        logCaught(method, QStringLiteral("unknown exception"));
    }
}

} // namespace merovantia
