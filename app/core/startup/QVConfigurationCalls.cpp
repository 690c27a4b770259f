#include "core/startup/QVConfigurationCalls.h"

#include "core/DevLog.h"
#include "ui/QVMInterfaceHooks.h"

// The configuration pipeline, update checker and rating prompt land on their
// own branch; until they do, each call says it is not available.
namespace QVConfigurationCalls {

namespace {
void notAvailable(const char *name) {
    DevLog(QStringLiteral("[launch] %@ not available"), QString::fromLatin1(name));
}
} // namespace

void getRemoteSettings(bool) {
    notAvailable("getRemoteSettings");
}

void getCrossPromoConfig() {
    notAvailable("getCrossPromoConfig");
}

void checkForUpdates() {
    notAvailable("checkForUpdates");
}

std::shared_ptr<QVMRatingPrompt> ratingPrompt() {
    notAvailable("ratingPrompt");
    return nullptr;
}

void observeUpdateAvailable(std::function<void(const QString &, const QUrl &)>) {
    notAvailable("updateAvailable");
}

} // namespace QVConfigurationCalls
