#include <merovantia/KeychainStore.h>

#include <merovantia/FileKeychainStore.h>
#include <merovantia/SecretServiceKeychainStore.h>

#include "SecretServiceArrival.h"

#include "platform/AppPaths.h"

#include <QDebug>
#include <QDir>
#include <QMutex>

#include <algorithm>
#include <optional>

namespace merovantia {
namespace {

QMutex g_mutex;
std::shared_ptr<KeychainStore> g_shared;
bool g_forced = false;
std::shared_ptr<KeychainStore> g_fallback;
bool g_fallbackKnown = false;
// What the shared store's own look at the Secret Service found; the fallback asks again only without it.
std::optional<SecretServiceKeychainStore::Availability> g_probed;
// Counts the choices made: a watch armed for an earlier one (a test replaced the store) does nothing.
quint64 g_choice = 0;

bool considerSecretService(quint64 choice);

std::shared_ptr<KeychainStore> probeStore(bool *forced) {
    const QByteArray forcedStore = qgetenv("QV_KEYCHAIN");
    *forced = forcedStore == "file" || forcedStore == "secret-service";
    if (forcedStore == "file") {
        qInfo("[keychain] using the file store %s (QV_KEYCHAIN=file)",
              qPrintable(KeychainStore::defaultFilePath()));
        return std::make_shared<FileKeychainStore>(KeychainStore::defaultFilePath());
    }
    if (forcedStore == "secret-service") {
        qInfo("[keychain] using the Secret Service (QV_KEYCHAIN=secret-service)");
        return std::make_shared<SecretServiceKeychainStore>();
    }
    QString reason;
    g_probed = SecretServiceKeychainStore::availability(&reason);
    if (*g_probed == SecretServiceKeychainStore::Availability::Usable) {
        qInfo("[keychain] using the Secret Service");
        return std::make_shared<SecretServiceKeychainStore>();
    }
    qInfo("[keychain] using the file store %s: %s", qPrintable(KeychainStore::defaultFilePath()),
          qPrintable(reason));
    // A keyring that comes up later (a start at login, before the keyring's) is used as a first
    // start would use it.
    SecretServiceArrival::watch([choice = g_choice] { return considerSecretService(choice); });
    return std::make_shared<FileKeychainStore>(KeychainStore::defaultFilePath());
}

// On a worker thread, each time the Secret Service appears while the file store serves: what a
// first start would choose now. Usable: every item of the file store is copied into it, and it
// serves from now on with the file store behind it (which keeps its copies, for a later start
// without the keyring). Locked: the file store stays, the Secret Service behind it. True once
// nothing is left to do.
bool considerSecretService(quint64 choice) {
    std::shared_ptr<FileKeychainStore> file;
    {
        QMutexLocker lock(&g_mutex);
        if (choice != g_choice)
            return true;
        file = std::dynamic_pointer_cast<FileKeychainStore>(g_shared);
        if (!file)
            return true;
    }
    QString reason;
    const auto found = SecretServiceKeychainStore::availability(&reason);
    if (found == SecretServiceKeychainStore::Availability::Unreachable)
        return false;
    auto secrets = std::make_shared<SecretServiceKeychainStore>();
    if (found == SecretServiceKeychainStore::Availability::Locked) {
        QMutexLocker lock(&g_mutex);
        if (choice == g_choice && !std::dynamic_pointer_cast<SecretServiceKeychainStore>(g_fallback)) {
            g_probed = found;
            g_fallback = secrets;
            g_fallbackKnown = true;
            qInfo("[keychain] the Secret Service is up but %s: it is consulted for the installation identity",
                  qPrintable(reason));
        }
        return false;
    }
    int copied = 0;
    bool switched = false;
    // Under the file store's lock, so no write of another process lands between the copy and the
    // switch; a write of this process that took the file store just before is copied by the second pass.
    const int status = file->exclusively([&] {
        if (const int first = KeychainStore::copyItems(*file, *secrets, &copied))
            return first;
        {
            QMutexLocker lock(&g_mutex);
            if (choice != g_choice || g_shared != file)
                return KeychainStatus::Success;
            g_shared = secrets;
            g_fallback = file;
            g_fallbackKnown = true;
            g_probed = found;
            switched = true;
        }
        int again = 0;
        const int second = KeychainStore::copyItems(*file, *secrets, &again);
        copied += again;
        return second;
    });
    if (switched)
        qInfo("[keychain] the Secret Service is up: using it from now on, with the file store's items copied "
              "into it (%d)",
              copied);
    if (status != KeychainStatus::Success)
        qWarning("[keychain] copying the file store's items into the Secret Service failed (status %d)%s",
                 status, switched ? "" : ": the file store stays in use");
    return switched || status == KeychainStatus::Success;
}

// An identity kept in the keyring stays visible while the keyring is only locked.
std::shared_ptr<KeychainStore> probeFallback(const std::shared_ptr<KeychainStore> &primary) {
    if (!dynamic_cast<FileKeychainStore *>(primary.get()))
        return std::make_shared<FileKeychainStore>(KeychainStore::defaultFilePath());
    const bool reachable = g_probed ? *g_probed != SecretServiceKeychainStore::Availability::Unreachable
                                    : SecretServiceKeychainStore::isReachable();
    if (reachable) {
        qInfo("[keychain] the Secret Service is consulted for the installation identity too");
        return std::make_shared<SecretServiceKeychainStore>();
    }
    return nullptr;
}

} // namespace

KeychainStore::~KeychainStore() = default;

int KeychainStore::exclusively(const std::function<int()> &body) {
    return body();
}

int KeychainStore::copyItems(KeychainStore &from, KeychainStore &to, int *copied) {
    int count = 0;
    const auto result = [&](int status) {
        if (copied)
            *copied = count;
        return status;
    };
    QList<KeychainItem> items;
    const int listed = from.list(QString(), &items);
    if (listed == KeychainStatus::ItemNotFound)
        return result(KeychainStatus::Success);
    if (listed != KeychainStatus::Success)
        return result(listed);
    for (KeychainItem item : std::as_const(items)) {
        if (const int read = from.find(item.service, item.account, &item.password))
            return result(read);
        QByteArray held;
        const int found = to.find(item.service, item.account, &held);
        if (found == KeychainStatus::Success && held == item.password)
            continue;
        int status = found;
        if (found == KeychainStatus::ItemNotFound) {
            status = to.add(item);
        } else if (found == KeychainStatus::Success) {
            // Both hold it: the one changed last wins.
            QList<KeychainItem> theirs;
            status = to.list(item.service, &theirs);
            const auto other = std::find_if(theirs.cbegin(), theirs.cend(), [&](const KeychainItem &each) {
                return each.account == item.account;
            });
            if (status == KeychainStatus::Success && other != theirs.cend() && other->modified.isValid() &&
                item.modified.isValid() && other->modified >= item.modified)
                continue;
            if (status == KeychainStatus::Success)
                status = to.update(item.service, item.account, item.password);
        }
        if (status != KeychainStatus::Success)
            return result(status);
        ++count;
    }
    return result(KeychainStatus::Success);
}

std::shared_ptr<KeychainStore> KeychainStore::shared() {
    QMutexLocker lock(&g_mutex);
    if (!g_shared)
        g_shared = probeStore(&g_forced);
    return g_shared;
}

std::shared_ptr<KeychainStore> KeychainStore::fallback() {
    const std::shared_ptr<KeychainStore> primary = shared();
    QMutexLocker lock(&g_mutex);
    if (!g_fallbackKnown) {
        g_fallback = g_forced ? nullptr : probeFallback(primary);
        g_fallbackKnown = true;
    }
    return g_fallback;
}

void KeychainStore::setShared(std::shared_ptr<KeychainStore> store) {
    QMutexLocker lock(&g_mutex);
    ++g_choice;
    g_forced = false;
    g_probed.reset();
    if (!store) {
        g_fallback.reset();
        g_fallbackKnown = false;
    }
    g_shared = std::move(store);
}

void KeychainStore::setFallback(std::shared_ptr<KeychainStore> store) {
    QMutexLocker lock(&g_mutex);
    g_fallback = std::move(store);
    g_fallbackKnown = true;
}

QString KeychainStore::defaultFilePath() {
    return QDir(platform::AppPaths::state()).filePath(QStringLiteral("keychain/items.json"));
}

} // namespace merovantia
