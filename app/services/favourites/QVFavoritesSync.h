#pragma once

#include "core/models/QVTranslationRealm.h"

#include "platform/Error.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QVQuorvaldeRequestManager;

// The one road for a change of a favourite: the local flag changes at once,
// and the account follows when it can. Every window that stars or removes a
// translation goes through here, so nothing is lost on the way.
//
//   QVFavoritesSync::shared().toggle(record, true, [](const QVTranslationRealm &stored) { ... });
//   QVFavoritesSync::shared().removeFromHistory(record);
//   QVFavoritesSync::shared().flush([](bool ok) { ... then fetch the account's favourites ... });
//
// Signed in, a star sends the add, an unstar or a removal the delete. Signed
// out, a favourite is local only and nothing is sent. A failed add leaves the
// record marked as not synchronised ("isSynch" false); a failed delete keeps
// the backend id on a pending list (user default
// "kUserDefaultPendingFavoriteDeletes"). flush() sends the pending deletes,
// then every unsynchronised favourite, and marks what the account accepted.
// It runs when the network comes back and before each fetch of the account's
// favourites, so a favourite removed offline does not come back. Main thread.
class QVFavoritesSync : public QObject {
    Q_OBJECT
public:
    using StoredBlock = std::function<void(const QVTranslationRealm &stored)>;
    using DoneBlock = std::function<void()>;
    using FlushBlock = std::function<void(bool ok)>;

    static QVFavoritesSync &shared();
    // A synchroniser on its own client (tests); shared() uses the application's.
    explicit QVFavoritesSync(QVQuorvaldeRequestManager *client, QObject *parent = nullptr);
    ~QVFavoritesSync() override;

    // Sets the local flag, then tells the account. `added` gets the record as
    // re-stored under the account's id; `removed` runs once the account dropped it.
    platform::Error toggle(const QVTranslationRealm &record, bool favourite, StoredBlock added = {},
                           DoneBlock removed = {});
    // Deletes the record; a favourite is deleted at the account too (by id).
    platform::Error removeFromHistory(const QVTranslationRealm &record, DoneBlock removedRemotely = {});
    // Pending deletes first, then unsynchronised favourites; done(true) when
    // everything went through. Signed out: done(false) and nothing is sent.
    void flush(FlushBlock done = {});

    QStringList pendingDeletes() const;
    bool isSignedIn() const;
    bool isFlushing() const { return m_flushing; }

    static constexpr const char *kPendingDeletesKey = "kUserDefaultPendingFavoriteDeletes";

signals:
    // A change reached the account, or was left pending (the rows show a mark).
    void pendingChanged();

private:
    void addPendingDelete(const QString &identifier);
    void removePendingDelete(const QString &identifier);
    static bool isGone(const platform::Error &error);
    static platform::Error markSynchronised(const QList<qint64> &identifiers, bool synchronised);
    void sendPendingDeletes(QStringList remaining, bool allSent);
    void sendUnsynchronised(bool deletesSent);
    void finishFlush(bool ok);

    QVQuorvaldeRequestManager *m_client;
    bool m_flushing = false;
    QList<FlushBlock> m_waiting;
    quint64 m_reachabilityToken = 0;
};
