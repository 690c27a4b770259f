#include "core/mapping/ObjectStoreReporting.h"

#include "core/DevLogger.h"

#include "platform/store/ObjectStore.h"

void installObjectStoreReporter() {
    platform::ObjectStore::setReporter(
        [](const platform::Error &error, const QString &message) { DevLogger::logError(error, message); });
}
