#include <merovantia/KeychainStore.h>

#include <merovantia/FileKeychainStore.h>
#include <merovantia/SecretServiceKeychainStore.h>

#include "platform/AppPaths.h"

#include <QDebug>
#include <QDir>
#include <QMutex>

namespace merovantia {
namespace {

QMutex g_mutex;
std::shared_ptr<KeychainStore> g_shared;
std::shared_ptr<KeychainStore> g_fallback;
bool g_fallbackSet = false;

std::shared_ptr<KeychainStore> probeStore() {
    const QByteArray forced = qgetenv("QV_KEYCHAIN");
    if (forced == "file") {
        qInfo("[keychain] using the file store %s (QV_KEYCHAIN=file)",
              qPrintable(KeychainStore::defaultFilePath()));
        return std::make_shared<FileKeychainStore>(KeychainStore::defaultFilePath());
    }
    if (forced == "secret-service") {
        qInfo("[keychain] using the Secret Service (QV_KEYCHAIN=secret-service)");
        return std::make_shared<SecretServiceKeychainStore>();
    }
    QString reason;
    if (SecretServiceKeychainStore::isUsable(&reason)) {
        qInfo("[keychain] using the Secret Service");
        return std::make_shared<SecretServiceKeychainStore>();
    }
    qInfo("[keychain] using the file store %s: %s", qPrintable(KeychainStore::defaultFilePath()),
          qPrintable(reason));
    return std::make_shared<FileKeychainStore>(KeychainStore::defaultFilePath());
}

} // namespace

KeychainStore::~KeychainStore() = default;

std::shared_ptr<KeychainStore> KeychainStore::shared() {
    QMutexLocker lock(&g_mutex);
    if (!g_shared)
        g_shared = probeStore();
    return g_shared;
}

std::shared_ptr<KeychainStore> KeychainStore::fallback() {
    const std::shared_ptr<KeychainStore> primary = shared();
    QMutexLocker lock(&g_mutex);
    if (g_fallbackSet)
        return g_fallback;
    if (dynamic_cast<FileKeychainStore *>(primary.get()))
        return nullptr;
    return std::make_shared<FileKeychainStore>(defaultFilePath());
}

void KeychainStore::setShared(std::shared_ptr<KeychainStore> store) {
    QMutexLocker lock(&g_mutex);
    g_shared = std::move(store);
}

void KeychainStore::setFallback(std::shared_ptr<KeychainStore> store) {
    QMutexLocker lock(&g_mutex);
    g_fallback = std::move(store);
    g_fallbackSet = g_fallback != nullptr;
}

QString KeychainStore::defaultFilePath() {
    return QDir(platform::AppPaths::state()).filePath(QStringLiteral("keychain/items.json"));
}

} // namespace merovantia
