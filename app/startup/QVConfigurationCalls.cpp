#include "startup/QVConfigurationCalls.h"

#include "startup/QVConfigurationPipeline.h"
#include "startup/QVRatingPrompt.h"
#include "startup/QVUpdateChecker.h"

namespace QVConfigurationCalls {

void getRemoteSettings(bool launch) {
    QVConfigurationPipeline::shared().getRemoteSettings(launch);
}

void getCrossPromoConfig() {
    QVConfigurationPipeline::shared().getCrossPromoConfig();
}

bool checkForUpdates() {
    return QVUpdateChecker::shared().checkForUpdates();
}

std::shared_ptr<QVMRatingPrompt> ratingPrompt() {
    return QVRatingPrompt::shared();
}

void observeUpdateAvailable(std::function<void(const QString &version, const QUrl &page)> block) {
    QObject::connect(
        &QVUpdateChecker::shared(), &QVUpdateChecker::updateAvailable, &QVUpdateChecker::shared(),
        [block = std::move(block)](const QString &version, const QUrl &page) { block(version, page); });
}

} // namespace QVConfigurationCalls
