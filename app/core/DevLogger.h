#pragma once

#include "platform/Error.h"

#include <QString>
#include <QVariantMap>

#include <exception>

// Turns caught exceptions, errors and named non-fatal events into error
// records for the crash reporter. Class methods only, no state; callable from
// any thread; never fails towards the caller.
class DevLogger {
public:
    static constexpr const char *kCallStackSymbolsKey = "callStackSymbols";
    static constexpr const char *kMessageKey = "message";
    static constexpr const char *kExceptionDomain = "NSException";
    static constexpr qint64 kExceptionCode = 667;
    static constexpr const char *kErrorDomainFormat = "DevLoggerError %@";
    static constexpr const char *kNonFatalDomainFormat = "NonFatal %@";
    static constexpr const char *kErrorLineFormat = "ERROR: %@ \r message: %@";
    static constexpr const char *kNonFatalLineFormat = "NonFatal: %@ \r payload: %@";
    // Expected conditions get this one line and no record: "<message>: <description> (<domain> <code>)".
    static constexpr const char *kExpectedLineFormat = "[expected] %@: %@ (%@ %@)";
    static constexpr const char *kURLErrorDomain = "NSURLErrorDomain";

    // Domain "NSException", code 667; writes no log line.
    static void logException(const std::exception &exception, const QString &message);
    // A null error still gives a record ("DevLoggerError <message>", code 0). An
    // expected condition (no network, no backend, a cancel) is one plain line instead.
    static void logError(const platform::Error &error, const QString &message);
    // The network is down or absent, the backend unreachable or not configured, or the request cancelled.
    static bool isExpectedCondition(const platform::Error &error);
    static void logNonFatal(const QString &name, const QVariantMap &userInfo);

    DevLogger() = delete;

private:
    static QVariantMap reportInfo(const QVariantMap &info, const QString &message);
};
