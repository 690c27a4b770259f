#include "DevLog.h"
#include "DevLogWarning.h"

#include "platform/CrashReporter.h"

void DevLogLine(const QString &line) {
    DevLogLineAt(line, platform::SystemLog::Info);
}

void DevLogLineAt(const QString &line, platform::SystemLog::Level level) {
    platform::SystemLog::write(line, level);
    platform::CrashReporter::shared()->log(line);
}
