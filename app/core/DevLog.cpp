#include "DevLog.h"

#include "platform/CrashReporter.h"
#include "platform/SystemLog.h"

void DevLogLine(const QString &line) {
    platform::SystemLog::write(line);
    platform::CrashReporter::shared()->log(line);
}
