#include "services/network/QVRequestManager.h"

#include "core/DevLogger.h"
#include "core/QVEnvironment.h"

#include "platform/UserDefaults.h"

#include <merovantia/Merovantia.h>

#include <algorithm>

void QVRequestManager::getServerMessagesForLanguage(const QString &language, ServerMessagesSuccess success,
                                                    ErrorBlock failure) {
    // Always from the first message: what the user has seen is filtered here, not at the server.
    Merovantia::getNewsWithLang(
        language, QVariant(0), QString::fromLatin1(kPlatform),
        [success = std::move(success), failure = std::move(failure)](const QVariant &news,
                                                                     const platform::Error &error) {
            if (error) {
                if (failure)
                    failure(error);
                return;
            }
            if (success)
                success(newsFilteredArrayWithArray(QVServerMessage::modelsFromJSONArray(news)));
        });
}

QList<QVServerMessage> QVRequestManager::newsFilteredArrayWithArray(const QList<QVServerMessage> &messages) {
    const qint64 lastShown =
        QVEnvironment::sharedDefaults().integerForKey(QString::fromLatin1(kLastShowedServerMessageKey));
    QList<QVServerMessage> fresh;
    for (const QVServerMessage &message : messages) {
        if (message.idMessage && *message.idMessage > lastShown)
            fresh.append(message);
    }
    // Newest first; messages with equal ids keep the order they came in.
    std::stable_sort(fresh.begin(), fresh.end(), [](const QVServerMessage &a, const QVServerMessage &b) {
        return *a.idMessage > *b.idMessage;
    });
    return fresh.mid(0, kServerMessagesShown);
}

void QVRequestManager::getUpdateVersionUpdateAppWithLanguage(const QString &language,
                                                             VersionUpdateSuccess success,
                                                             ErrorBlock failure) {
    Merovantia::getUpdateVersionWithLang(
        language, QString::fromLatin1(kPlatform),
        [success = std::move(success), failure = std::move(failure)](const QVariant &reply,
                                                                     const platform::Error &error) {
            if (error) {
                DevLogger::logError(error, QString::fromLatin1(kUpdateVersionMessage));
                if (failure)
                    failure(error);
                return;
            }
            if (success)
                success(QVVersionUpdateDTO::modelFromJSONDictionary(reply));
        });
}
