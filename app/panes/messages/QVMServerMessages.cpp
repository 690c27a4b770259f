#include "QVMServerMessages.h"

#include "core/DevLogger.h"
#include "core/QVScreenPresentManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "platform/UserDefaults.h"
#include "ui/QVMGeneralAndHistorySplitController.h"
#include "ui/QVMInterfaceHooks.h"
#include "ui/QVMUtils.h"

#include <QPointer>
#include <QTimer>

namespace {

QVMServerMessages::Fetch &fetchOverride() {
    static QVMServerMessages::Fetch fetch;
    return fetch;
}

QVMServerMessages::Clock &clockOverride() {
    static QVMServerMessages::Clock clock;
    return clock;
}

QDateTime now() {
    return clockOverride() ? clockOverride()() : QDateTime::currentDateTimeUtc();
}

bool isEmptyMessage(const QVServerMessage &message) {
    return message.messageTitle.trimmed().isEmpty() && message.message.trimmed().isEmpty();
}

} // namespace

QVMServerMessages::QVMServerMessages(QObject *parent) : QObject(parent) {}

QVMServerMessages *QVMServerMessages::forSplit(QVMGeneralAndHistorySplitController *split) {
    if (!split)
        return nullptr;
    if (auto *existing = split->findChild<QVMServerMessages *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new QVMServerMessages(split);
}

void QVMServerMessages::setFetch(Fetch fetch) {
    fetchOverride() = std::move(fetch);
}

void QVMServerMessages::setClock(Clock clock) {
    clockOverride() = std::move(clock);
}

void QVMServerMessages::storeCheckDate() {
    QVMUtils::sharedDefaults().setObject(now().toUTC().toString(Qt::ISODateWithMs),
                                         QString::fromLatin1(kLastCheckedKey));
}

void QVMServerMessages::checkServerMessageIfNeed() {
    if (!QVSettingsService::defaultSettings().remoteSettings().showServerMessages())
        return;
    const QVariant stored = QVMUtils::sharedDefaults().objectForKey(QString::fromLatin1(kLastCheckedKey));
    QDateTime last = QDateTime::fromString(stored.toString(), Qt::ISODateWithMs);
    if (!last.isValid())
        last = stored.toDateTime();
    if (last.isValid() && last.secsTo(now()) <= kIntervalSeconds && last.secsTo(now()) >= 0)
        return;
    QPointer<QVMServerMessages> self(this);
    const auto success = [self](const QList<QVServerMessage> &messages) {
        if (!self)
            return;
        self->m_serverMessages.clear();
        for (const QVServerMessage &message : messages) {
            if (!isEmptyMessage(message))
                self->m_serverMessages.append(message);
        }
        if (self->m_serverMessages.isEmpty()) {
            self->storeCheckDate();
            return;
        }
        QTimer::singleShot(0, self, [self] {
            if (self)
                self->showServerMessage();
        });
    };
    const auto failure = [](const platform::Error &error) {
        DevLogger::logError(error, QStringLiteral("checkServerMessageIfNeed"));
    };
    const QString language = DJLocalizationSystem::shared().language();
    if (fetchOverride())
        fetchOverride()(language, success, failure);
    else
        QVRequestManager::instance().getServerMessagesForLanguage(language, success, failure);
}

void QVMServerMessages::showServerMessage() {
    if (m_serverMessages.isEmpty())
        return;
    const QVServerMessage message = m_serverMessages.takeLast();
    if (!QVScreenPresentManager::shared().canShowScreenType(kScreenType))
        return; // not seen, and no date: it comes back with the next check
    storeCheckDate();
    const std::optional<qint64> identifier = message.idMessage;
    QVMUtils::showAlertWithTitle(
        message.messageTitle, message.message, QVLocalizedString(QStringLiteral("_loc_button_ok")),
        [identifier] {
            QVScreenPresentManager::shared().resetAfterCloseIfNeeded();
            if (identifier)
                QVMUtils::sharedDefaults().setInteger(
                    *identifier, QString::fromLatin1(QVRequestManager::kLastShowedServerMessageKey));
        });
}

void installServerMessages() {
    QVMInterfaceHooks::shared().checkServerMessageIfNeed = [](QVMGeneralAndHistorySplitController *split) {
        if (QVMServerMessages *messages = QVMServerMessages::forSplit(split))
            messages->checkServerMessageIfNeed();
    };
}
