#include "DevLogger.h"

#include "DevLog.h"
#include "DevLogWarning.h"

#include "platform/CallStack.h"
#include "platform/CrashReporter.h"
#include "platform/Format.h"
#include "platform/StableHash.h"

#include <algorithm>
#include <iterator>

QVariantMap DevLogger::reportInfo(const QVariantMap &info, const QString &message) {
    QVariantMap out = info;
    // Skip this helper and the public method that called it.
    out.insert(QString::fromLatin1(kCallStackSymbolsKey), platform::callStackSymbols(2));
    out.insert(QString::fromLatin1(kMessageKey), message);
    return out;
}

void DevLogger::logException(const std::exception &, const QString &message) {
    platform::CrashReporter::shared()->recordError(QString::fromLatin1(kExceptionDomain), kExceptionCode,
                                                   reportInfo({}, message));
}

bool DevLogger::isExpectedCondition(const platform::Error &error) {
    // Cancelled, timed out, host not found, cannot connect, connection lost, not connected.
    static const qint64 codes[] = {-999, -1001, -1003, -1004, -1005, -1009};
    return error && error.domain() == QLatin1String(kURLErrorDomain) &&
           std::find(std::begin(codes), std::end(codes), error.code()) != std::end(codes);
}

void DevLogger::logError(const platform::Error &error, const QString &message) {
    if (isExpectedCondition(error)) {
        DevLog(QString::fromLatin1(kExpectedLineFormat), message, error.localizedDescription(),
               error.domain(), QString::number(error.code()));
        return;
    }
    const QVariantMap info = reportInfo(error.userInfo(), message);
    DevLogLineAt(platform::format(QString::fromLatin1(kErrorLineFormat), info, message),
                 platform::SystemLog::Error);
    // An empty domain counts as none: a record needs a domain to be told apart.
    const QString domain = error.domain().isEmpty()
                               ? platform::format(QString::fromLatin1(kErrorDomainFormat), message)
                               : error.domain();
    const qint64 code = error.code() != 0 ? error.code() : platform::stableStringHash(error.domain());
    platform::CrashReporter::shared()->recordError(domain, code, info);
}

void DevLogger::logNonFatal(const QString &name, const QVariantMap &userInfo) {
    const QVariantMap info = reportInfo(userInfo, name);
    DevLogLineAt(platform::format(QString::fromLatin1(kNonFatalLineFormat), name, info),
                 platform::SystemLog::Error);
    const QString domain = platform::format(QString::fromLatin1(kNonFatalDomainFormat), name);
    platform::CrashReporter::shared()->recordError(domain, platform::stableStringHash(domain), info);
}
