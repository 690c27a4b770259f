#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QVMRatingPrompt;

// The one place where start-up reaches the configuration pipeline, the update
// checker and the rating prompt. Each call goes to its shared instance.
namespace QVConfigurationCalls {

void getRemoteSettings(bool launch);
void getCrossPromoConfig();
bool checkForUpdates(); // false without a feed
std::shared_ptr<QVMRatingPrompt> ratingPrompt();
void observeUpdateAvailable(std::function<void(const QString &version, const QUrl &page)> block);

} // namespace QVConfigurationCalls
