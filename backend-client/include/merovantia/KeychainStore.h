#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace merovantia {

// Statuses of the secure store, with the same meaning (and values) as the
// keychain statuses the backend client was designed against.
namespace KeychainStatus {
constexpr int Success = 0;
constexpr int ItemNotFound = -25300;
constexpr int DuplicateItem = -25299;
constexpr int NotAvailable = -25291;
constexpr int InteractionNotAllowed = -25308;
constexpr int IOError = -36;
constexpr int BadArguments = -1001;
} // namespace KeychainStatus

// One generic secret, found by service and account.
struct KeychainItem {
    QString service;
    QString account;
    QString label;
    QByteArray password;
    QDateTime created;
    QDateTime modified;
};

// A secure store of generic secrets. Every operation returns a KeychainStatus.
class KeychainStore {
public:
    virtual ~KeychainStore();

    virtual QString name() const = 0;
    virtual int find(const QString &service, const QString &account, QByteArray *password) = 0;
    // DuplicateItem when an item with the same service and account exists.
    virtual int add(const KeychainItem &item) = 0;
    virtual int update(const QString &service, const QString &account, const QByteArray &password) = 0;
    virtual int remove(const QString &service, const QString &account) = 0;
    // Items of one service (all items for an empty service), oldest first;
    // ItemNotFound when there is none. Passwords are not filled in.
    virtual int list(const QString &service, QList<KeychainItem> *items) = 0;
    // Runs body while no other process can change this store, and returns its status
    // (or the store's own failure to lock). Stores without such a lock run it at once.
    virtual int exclusively(const std::function<int()> &body);

    // Copies every item of `from` into `to` where `to` lacks it or holds another secret changed
    // before `from`'s; `from` is left as it is. Success once `to` holds every item (with this
    // secret or one changed later), else the first failing status (what was copied stays).
    static int copyItems(KeychainStore &from, KeychainStore &to, int *copied = nullptr);

    // The store of this process, chosen on first use by a probe that never
    // blocks: the Secret Service when a session bus answers with an unlocked
    // default collection, else the file store in the state folder.
    // QV_KEYCHAIN=file or QV_KEYCHAIN=secret-service forces the choice. A probed
    // file store gives way when the Secret Service appears on the session bus
    // later and is unlocked: the file store's items are copied into it, and it
    // serves from then on with the file store behind it, as on a first start.
    static std::shared_ptr<KeychainStore> shared();
    // The other store: identity lookups look in it too, and identity writes go to it
    // when the shared store refuses them. The file store behind the Secret Service;
    // the Secret Service behind a probed file store when it is reachable at all (a
    // locked keyring still lists its items); none when the choice was forced.
    static std::shared_ptr<KeychainStore> fallback();

    // Tests: replace the stores. setShared(nullptr) restores the probed choice of both;
    // setFallback(nullptr) means no other store.
    static void setShared(std::shared_ptr<KeychainStore> store);
    static void setFallback(std::shared_ptr<KeychainStore> store);

    // The file store's default location: <state>/keychain/items.json.
    static QString defaultFilePath();
};

} // namespace merovantia
