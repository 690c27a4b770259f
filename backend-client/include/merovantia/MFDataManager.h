#pragma once

#include "platform/Error.h"

#include <QString>

#include <functional>

// The service name prefix of the installation identity's keychain item.
extern const char *const kMerovantiaServiceIdentifier;

// The installation identity: the application key and a per-installation
// identifier, kept in one keychain item (account = identifier, password = key).
// Nothing is cached: every value is read from the keychain.
class MFDataManager {
public:
    static MFDataManager &sharedDataManager();

    // Stores the key under the existing identifier (a new one on first use) and
    // hands the identifier to the block before returning. When the keychain
    // refuses the write, the identity is kept in the file store instead and the
    // failure goes to the reporter, so the next launch finds the same identifier.
    void saveAppKey(const QString &key, const std::function<void(const QString &uuid)> &block = {});
    QString appKey() const;
    // Null before the first save. With several items, the oldest one wins.
    QString uuid() const;
    static QString uuidGenerate();
    // kMerovantiaServiceIdentifier followed by the application's identifier.
    static QString appIdentifier();
    // The application's bundle identifier (platform::Bundle).
    static QString bundleIdentifier();

    void printLog(const QString &message) const;

    // Where keychain failures are reported (default: a warning line). The
    // application points it at its error reporter at start-up.
    using FailureReporter = std::function<void(const platform::Error &error, const QString &message)>;
    static void setFailureReporter(FailureReporter reporter);

private:
    MFDataManager() = default;
};
