#include <merovantia/MFDataManager.h>

#include <merovantia/FileKeychainStore.h>
#include <merovantia/KeychainStore.h>
#include <merovantia/SAMKeychainQuery.h>

#include "platform/Bundle.h"

#include <QDateTime>
#include <QMutex>
#include <QUuid>

#include <algorithm>

const char *const kMerovantiaServiceIdentifier = "kMerovantiaServiceIdentifier";

namespace {

QMutex g_reporterMutex;
MFDataManager::FailureReporter g_reporter;

void reportFailure(const platform::Error &error, const QString &message) {
    MFDataManager::FailureReporter reporter;
    {
        QMutexLocker lock(&g_reporterMutex);
        reporter = g_reporter;
    }
    if (reporter) {
        reporter(error, message);
        return;
    }
    qWarning("[keychain] %s: %s (%s %lld)", qPrintable(message), qPrintable(error.localizedDescription()),
             qPrintable(error.domain()), static_cast<long long>(error.code()));
}

using merovantia::KeychainItem;
using merovantia::KeychainStore;
namespace KeychainStatus = merovantia::KeychainStatus;

// The identity in use: the oldest item of the service across both stores.
struct Identity {
    QString account;
    QDateTime created;
};

struct Stores {
    std::shared_ptr<KeychainStore> primary;
    std::shared_ptr<KeychainStore> other;

    static Stores current() { return {KeychainStore::shared(), KeychainStore::fallback()}; }
    QList<std::shared_ptr<KeychainStore>> all() const {
        QList<std::shared_ptr<KeychainStore>> stores{primary};
        if (other && other != primary)
            stores.append(other);
        return stores;
    }
    // The store whose lock serialises identity changes across processes: the file store.
    KeychainStore &guard() const {
        for (const auto &store : all()) {
            if (dynamic_cast<merovantia::FileKeychainStore *>(store.get()))
                return *store;
        }
        return *primary;
    }
};

// The oldest item wins, then the smallest account: the same answer on every call,
// whichever store happens to be up front.
Identity findIdentity(const Stores &stores) {
    QList<KeychainItem> found;
    for (const auto &store : stores.all()) {
        QList<KeychainItem> items;
        if (store->list(MFDataManager::appIdentifier(), &items) != KeychainStatus::Success)
            continue;
        for (const KeychainItem &item : std::as_const(items)) {
            if (!item.account.isEmpty()) // a store that hides a locked item's attributes
                found.append(item);
        }
    }
    if (found.isEmpty())
        return {};
    const auto oldest =
        std::min_element(found.cbegin(), found.cend(), [](const KeychainItem &a, const KeychainItem &b) {
            if (a.created.isValid() != b.created.isValid())
                return a.created.isValid();
            return a.created != b.created ? a.created < b.created : a.account < b.account;
        });
    return {oldest->account, oldest->created};
}

bool saveInto(KeychainStore &store, const QString &service, const Identity &identity, const QByteArray &key,
              platform::Error *error) {
    int status = KeychainStatus::BadArguments;
    if (!service.isEmpty() && !identity.account.isEmpty() && !key.isEmpty()) {
        QByteArray stored;
        status = store.find(service, identity.account, &stored);
        if (status == KeychainStatus::ItemNotFound)
            status = store.add({service, identity.account, {}, key, identity.created, {}});
        else if (status == KeychainStatus::Success && stored != key) // every launch saves the same key
            status = store.update(service, identity.account, key);
    }
    *error = SAMKeychainQuery::errorWithCode(status);
    return status == KeychainStatus::Success;
}

// Into the primary store (copying an identity found only in the other one); into the
// other store when the primary refuses.
bool saveIdentity(const Stores &stores, const Identity &identity, const QString &key) {
    platform::Error error;
    bool saved = saveInto(*stores.primary, MFDataManager::appIdentifier(), identity, key.toUtf8(), &error);
    if (saved)
        return true;
    reportFailure(
        error,
        QStringLiteral("saving the installation identity in the %1 failed").arg(stores.primary->name()));
    // Bad arguments fail in every store: nothing to keep elsewhere.
    if (!stores.other || stores.other == stores.primary || error.code() == KeychainStatus::BadArguments)
        return false;
    saved = saveInto(*stores.other, MFDataManager::appIdentifier(), identity, key.toUtf8(), &error);
    if (saved)
        qInfo("[keychain] installation identity kept in the %s instead", qPrintable(stores.other->name()));
    else
        reportFailure(
            error,
            QStringLiteral("saving the installation identity in the %1 failed").arg(stores.other->name()));
    return saved;
}

// A store that holds another identity of its own would answer with it whenever it is the
// only store reachable (the keyring down at one launch, up at the next): it gets the one in
// use too, which is older, so every store alone gives the same answer. A store without any
// identity item is left as it is.
void alignOtherStore(const Stores &stores, const Identity &identity, const QString &key) {
    if (!stores.other || stores.other == stores.primary)
        return;
    QList<KeychainItem> items;
    if (stores.other->list(MFDataManager::appIdentifier(), &items) != KeychainStatus::Success)
        return;
    const bool holdsIt = std::any_of(items.cbegin(), items.cend(), [&](const KeychainItem &item) {
        return item.account == identity.account;
    });
    if (holdsIt)
        return;
    platform::Error error;
    if (!saveInto(*stores.other, MFDataManager::appIdentifier(), identity, key.toUtf8(), &error))
        qInfo("[keychain] the %s keeps another installation identity", qPrintable(stores.other->name()));
}

// Nothing a locked save would write (saveIdentity, then alignOtherStore): the primary store holds
// the identity with this key, and the other store holds it too or no identity at all. A returning
// launch then takes no lock (the file store's lock is a file synced to disk).
bool nothingToSave(const Stores &stores, const Identity &identity, const QByteArray &key) {
    if (identity.account.isEmpty() || key.isEmpty())
        return false;
    QByteArray stored;
    if (stores.primary->find(MFDataManager::appIdentifier(), identity.account, &stored) !=
            KeychainStatus::Success ||
        stored != key)
        return false;
    if (!stores.other || stores.other == stores.primary)
        return true;
    QList<KeychainItem> items;
    if (stores.other->list(MFDataManager::appIdentifier(), &items) != KeychainStatus::Success)
        return true;
    return std::any_of(items.cbegin(), items.cend(),
                       [&](const KeychainItem &item) { return item.account == identity.account; });
}

} // namespace

MFDataManager &MFDataManager::sharedDataManager() {
    static MFDataManager *instance = new MFDataManager;
    return *instance;
}

void MFDataManager::saveAppKey(const QString &key, const std::function<void(const QString &)> &block) {
    const Stores stores = Stores::current();
    Identity identity = findIdentity(stores);
    if (nothingToSave(stores, identity, key.toUtf8())) {
        printLog(QStringLiteral("Yes"));
        if (block)
            block(identity.account);
        return;
    }
    bool saved = false;
    // Read-or-create as one step: two first launches at once end with one identity.
    const int locked = stores.guard().exclusively([&] {
        identity = findIdentity(stores);
        if (identity.account.isEmpty())
            identity.account = uuidGenerate();
        saved = saveIdentity(stores, identity, key);
        if (saved)
            alignOtherStore(stores, identity, key);
        return KeychainStatus::Success;
    });
    if (locked != KeychainStatus::Success) {
        reportFailure(
            SAMKeychainQuery::errorWithCode(locked),
            QStringLiteral("the %1 stayed locked by another process; the installation identity was not saved")
                .arg(stores.guard().name()));
        identity = findIdentity(stores);
        if (identity.account.isEmpty())
            identity.account = uuidGenerate();
    }
    printLog(saved ? QStringLiteral("Yes") : QStringLiteral("No"));
    if (block)
        block(identity.account);
}

QString MFDataManager::appKey() const {
    const Stores stores = Stores::current();
    const Identity identity = findIdentity(stores);
    if (identity.account.isEmpty())
        return {};
    // The primary store's copy holds the latest key.
    for (const auto &store : stores.all()) {
        QByteArray key;
        if (store->find(appIdentifier(), identity.account, &key) == KeychainStatus::Success && !key.isEmpty())
            return QString::fromUtf8(key);
    }
    return {};
}

QString MFDataManager::uuid() const {
    return findIdentity(Stores::current()).account;
}

QString MFDataManager::uuidGenerate() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString MFDataManager::appIdentifier() {
    return QString::fromLatin1(kMerovantiaServiceIdentifier) + bundleIdentifier();
}

QString MFDataManager::bundleIdentifier() {
    return platform::Bundle::bundleIdentifier();
}

void MFDataManager::printLog(const QString &) const {}

void MFDataManager::setFailureReporter(FailureReporter reporter) {
    QMutexLocker lock(&g_reporterMutex);
    g_reporter = std::move(reporter);
}
