#include "QVMServerMessages.h"

#include "core/DevLogger.h"
#include "core/QVScreenPresentManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"

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

QVMServerMessages::~QVMServerMessages() {
    waitForScreen(false);
}

void QVMServerMessages::waitForScreen(bool wait) {
    platform::NotificationCenter &center = platform::NotificationCenter::defaultCenter();
    if (!wait) {
        if (m_screenObserver)
            center.removeObserver(std::exchange(m_screenObserver, 0));
        return;
    }
    if (m_screenObserver)
        return;
    QPointer<QVMServerMessages> self(this);
    m_screenObserver = center.addObserver(
        QString::fromLatin1(QVScreenPresentManager::kDidFreeScreenNotification), [self](const QVariantMap &) {
            // After the closing screen's own tear-down, not inside it.
            QTimer::singleShot(0, self, [self] {
                if (self && self->isWaitingForScreen())
                    self->showServerMessage();
            });
        });
}

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
        self->waitForScreen(false);
        self->m_serverMessages.clear();
        for (const QVServerMessage &message : messages) {
            if (!isEmptyMessage(message))
                self->m_serverMessages.append(message);
        }
        self->storeCheckDate();
        if (self->m_serverMessages.isEmpty())
            return;
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
    if (!QVScreenPresentManager::shared().canShowScreenType(kScreenType)) {
        // Kept for when the other prompt closes; the hourly check stays as it is.
        m_serverMessages.append(message);
        waitForScreen(true);
        return;
    }
    waitForScreen(false);
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
