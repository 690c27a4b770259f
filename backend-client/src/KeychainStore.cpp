#include <merovantia/KeychainStore.h>

#include <merovantia/FileKeychainStore.h>
#include <merovantia/SecretServiceKeychainStore.h>

#include "platform/AppPaths.h"

#include <QDebug>
#include <QDir>
#include <QMutex>

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
    return std::make_shared<FileKeychainStore>(KeychainStore::defaultFilePath());
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
