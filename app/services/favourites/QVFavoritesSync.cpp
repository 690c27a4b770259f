#include "QVFavoritesSync.h"

#include "core/settings/QVAuthService.h"
#include "services/favourites/QVQuorvaldeRequestManager.h"

#include "core/DevLog.h"
#include "core/history/QVDataManager.h"
#include "merovantia/MFJSONResponseSerializer.h"
#include "platform/NetworkStatus.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/store/Store.h"

#include <QPointer>

QVFavoritesSync &QVFavoritesSync::shared() {
    static QVFavoritesSync *instance = new QVFavoritesSync(&QVQuorvaldeRequestManager::instance());
    return *instance;
}

QVFavoritesSync::QVFavoritesSync(QVQuorvaldeRequestManager *client, QObject *parent)
    : QObject(parent), m_client(client) {
    QPointer<QVFavoritesSync> self(this);
    m_reachabilityToken = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(platform::NetworkStatus::kReachabilityChangedNotification),
        [self](const QVariantMap &userInfo) {
            const int status =
                userInfo.value(QString::fromLatin1(platform::NetworkStatus::kStatusKey)).toInt();
            if (self && status != platform::NetworkStatus::NotReachable && !self->pendingDeletes().isEmpty())
                self->flush();
        });
}

QVFavoritesSync::~QVFavoritesSync() {
    platform::NotificationCenter::defaultCenter().removeObserver(m_reachabilityToken);
}

bool QVFavoritesSync::isSignedIn() const {
    return !QVAuthService::authToken().isEmpty();
}

QStringList QVFavoritesSync::pendingDeletes() const {
    QStringList out;
    for (const QVariant &value :
         platform::UserDefaults::standard().arrayForKey(QString::fromLatin1(kPendingDeletesKey)))
        out << value.toString();
    return out;
}

void QVFavoritesSync::addPendingDelete(const QString &identifier) {
    QStringList pending = pendingDeletes();
    if (identifier.isEmpty() || pending.contains(identifier))
        return;
    pending << identifier;
    platform::UserDefaults::standard().setObject(QVariant(pending), QString::fromLatin1(kPendingDeletesKey));
    emit pendingChanged();
}

void QVFavoritesSync::removePendingDelete(const QString &identifier) {
    QStringList pending = pendingDeletes();
    if (!pending.removeAll(identifier))
        return;
    platform::UserDefaults::standard().setObject(pending.isEmpty() ? QVariant() : QVariant(pending),
                                                 QString::fromLatin1(kPendingDeletesKey));
    emit pendingChanged();
}

bool QVFavoritesSync::isGone(const platform::Error &error) {
    // Already deleted at the account: nothing left to send.
    return error.domain() == QLatin1String(kMFNetworkResponseErrorDomain) && error.code() == 404;
}

platform::Error QVFavoritesSync::markSynchronised(const QList<qint64> &identifiers, bool synchronised) {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull() || identifiers.isEmpty())
        return {};
    return store.write([&](platform::Transaction &tx) {
        for (const qint64 identifier : identifiers) {
            const QVTranslationRealm record(
                store.objectForPrimaryKey(QVTranslationRealm::storeClassName(), identifier));
            if (record.isValid())
                record.setIsSynch(tx, synchronised);
        }
    });
}

platform::Error QVFavoritesSync::toggle(const QVTranslationRealm &record, bool favourite, StoredBlock added,
                                        DoneBlock removed) {
    if (!record.isValid())
        return {};
    const qint64 identifier = record.idTranslation().value_or(0);
    if (const platform::Error error = QVDataManager::sharedInstance().setFavorite(favourite, record))
        return error;
    if (!isSignedIn())
        return {};
    QPointer<QVFavoritesSync> self(this);
    if (favourite) {
        m_client->addFavoriteTranslationObject(
            record,
            [self, added](const QVTranslationRealm &stored) {
                if (self)
                    emit self->pendingChanged();
                if (added)
                    added(stored);
            },
            [self, identifier](const platform::Error &error) {
                DevLog(QStringLiteral("[favourites] add of %@ left for the next synchronisation: %@"),
                       QString::number(identifier), error.localizedDescription());
                markSynchronised({identifier}, false);
                if (self)
                    emit self->pendingChanged();
            });
        return {};
    }
    const QString backendId = QString::number(identifier);
    m_client->deleteFavoriteTranslationObject(
        record,
        [removed](const QVariant &) {
            if (removed)
                removed();
        },
        [self, backendId](const platform::Error &error) {
            if (self && !isGone(error))
                self->addPendingDelete(backendId);
        });
    return {};
}

platform::Error QVFavoritesSync::removeFromHistory(const QVTranslationRealm &record,
                                                   DoneBlock removedRemotely) {
    if (!record.isValid())
        return {};
    const QString backendId = QString::number(record.idTranslation().value_or(0));
    const bool wasFavourite = record.isFavorite().value_or(false);
    if (const platform::Error error = QVDataManager::sharedInstance().removeObjectFromHistory(record))
        return error;
    if (!wasFavourite || !isSignedIn())
        return {};
    QPointer<QVFavoritesSync> self(this);
    m_client->deleteFavoriteTranslationById(
        backendId,
        [removedRemotely](const QVariant &) {
            if (removedRemotely)
                removedRemotely();
        },
        [self, backendId](const platform::Error &error) {
            if (self && !isGone(error))
                self->addPendingDelete(backendId);
        });
    return {};
}

void QVFavoritesSync::flush(FlushBlock done) {
    if (!isSignedIn()) {
        if (done)
            done(false);
        return;
    }
    if (done)
        m_waiting << done;
    if (m_flushing)
        return;
    m_flushing = true;
    sendPendingDeletes(pendingDeletes(), true);
}

void QVFavoritesSync::sendPendingDeletes(QStringList remaining, bool allSent) {
    if (remaining.isEmpty()) {
        sendUnsynchronised(allSent);
        return;
    }
    const QString identifier = remaining.takeFirst();
    QPointer<QVFavoritesSync> self(this);
    m_client->deleteFavoriteTranslationById(
        identifier,
        [self, identifier, remaining, allSent](const QVariant &) {
            if (!self)
                return;
            self->removePendingDelete(identifier);
            self->sendPendingDeletes(remaining, allSent);
        },
        [self, identifier, remaining, allSent](const platform::Error &error) {
            if (!self)
                return;
            const bool gone = isGone(error);
            if (gone)
                self->removePendingDelete(identifier);
            self->sendPendingDeletes(remaining, allSent && gone);
        });
}

void QVFavoritesSync::sendUnsynchronised(bool deletesSent) {
    QList<QVTranslationRealm> unsent;
    QList<qint64> identifiers;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (!store.isNull()) {
        const auto favourites = store.objects(QVTranslationRealm::storeClassName())
                                    .filter(platform::Key(QStringLiteral("isFavorite")) == true)
                                    .toList<QVTranslationRealm>();
        for (const QVTranslationRealm &favourite : favourites) {
            if (!favourite.isSynch().value_or(false)) {
                unsent << favourite;
                identifiers << favourite.idTranslation().value_or(0);
            }
        }
    }
    if (unsent.isEmpty()) {
        finishFlush(deletesSent);
        return;
    }
    QPointer<QVFavoritesSync> self(this);
    m_client->synchFavourites(
        unsent,
        [self, identifiers, deletesSent](bool accepted) {
            if (accepted)
                markSynchronised(identifiers, true);
            if (self)
                self->finishFlush(deletesSent && accepted);
        },
        [self](const platform::Error &) {
            if (self)
                self->finishFlush(false);
        });
}

void QVFavoritesSync::finishFlush(bool ok) {
    m_flushing = false;
    const QList<FlushBlock> waiting = std::exchange(m_waiting, {});
    emit pendingChanged();
    for (const FlushBlock &done : waiting)
        done(ok);
}
