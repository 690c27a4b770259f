#include <merovantia/MFDataManager.h>

#include <merovantia/KeychainStore.h>
#include <merovantia/SAMKeychain.h>
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

struct Identity {
    QString account;
    std::shared_ptr<merovantia::KeychainStore> store;
};

// The oldest item wins, then the smallest account: the same answer on every call.
QString oldestAccount(QList<merovantia::KeychainItem> items) {
    if (items.isEmpty())
        return {};
    std::sort(items.begin(), items.end(),
              [](const merovantia::KeychainItem &a, const merovantia::KeychainItem &b) {
                  return a.created != b.created ? a.created < b.created : a.account < b.account;
              });
    return items.first().account;
}

Identity findIdentity() {
    const QString service = MFDataManager::appIdentifier();
    QList<merovantia::KeychainItem> items;
    for (const auto &store : {merovantia::KeychainStore::shared(), merovantia::KeychainStore::fallback()}) {
        if (!store)
            continue;
        if (store->list(service, &items) == merovantia::KeychainStatus::Success) {
            const QString account = oldestAccount(items);
            if (!account.isEmpty())
                return {account, store};
        }
    }
    return {};
}

bool saveInto(merovantia::KeychainStore &store, const QString &service, const QString &account,
              const QByteArray &key, platform::Error *error) {
    int status = store.find(service, account, nullptr);
    if (status == merovantia::KeychainStatus::ItemNotFound)
        status = store.add({service, account, {}, key, {}, {}});
    else if (status == merovantia::KeychainStatus::Success)
        status = store.update(service, account, key);
    *error = SAMKeychainQuery::errorWithCode(status);
    return status == merovantia::KeychainStatus::Success;
}

} // namespace

MFDataManager &MFDataManager::sharedDataManager() {
    static MFDataManager *instance = new MFDataManager;
    return *instance;
}

void MFDataManager::saveAppKey(const QString &key, const std::function<void(const QString &)> &block) {
    const QString existing = uuid();
    const QString identifier = existing.isEmpty() ? uuidGenerate() : existing;
    platform::Error error;
    bool saved = SAMKeychain::setPassword(key, appIdentifier(), identifier, &error);
    if (!saved) {
        const auto primary = merovantia::KeychainStore::shared();
        reportFailure(
            error, QStringLiteral("saving the installation identity in the %1 failed").arg(primary->name()));
        // Bad arguments fail in every store: nothing to keep elsewhere.
        const auto fallback = error.code() == merovantia::KeychainStatus::BadArguments
                                  ? nullptr
                                  : merovantia::KeychainStore::fallback();
        if (fallback) {
            saved = saveInto(*fallback, appIdentifier(), identifier, key.toUtf8(), &error);
            if (saved)
                qInfo("[keychain] installation identity kept in the %s instead",
                      qPrintable(fallback->name()));
            else
                reportFailure(error, QStringLiteral("saving the installation identity in the %1 failed")
                                         .arg(fallback->name()));
        }
    }
    printLog(saved ? QStringLiteral("Yes") : QStringLiteral("No"));
    if (block)
        block(identifier);
}

QString MFDataManager::appKey() const {
    const Identity identity = findIdentity();
    if (identity.account.isEmpty())
        return {};
    QByteArray key;
    if (identity.store->find(appIdentifier(), identity.account, &key) !=
            merovantia::KeychainStatus::Success ||
        key.isEmpty())
        return {};
    return QString::fromUtf8(key);
}

QString MFDataManager::uuid() const {
    return findIdentity().account;
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
