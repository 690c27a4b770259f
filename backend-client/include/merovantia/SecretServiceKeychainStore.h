#pragma once

#include <merovantia/KeychainStore.h>

namespace merovantia {

// Secrets in the Secret Service (libsecret), in the default collection, found
// by the attributes "service" and "account" of our own schema.
class SecretServiceKeychainStore : public KeychainStore {
public:
    QString name() const override;
    int find(const QString &service, const QString &account, QByteArray *password) override;
    int add(const KeychainItem &item) override;
    int update(const QString &service, const QString &account, const QByteArray &password) override;
    int remove(const QString &service, const QString &account) override;
    int list(const QString &service, QList<KeychainItem> *items) override;

    // What one look at the session bus found: no Secret Service with a default collection,
    // one whose default collection is locked, or one ready for use.
    enum class Availability { Unreachable, Locked, Usable };
    // Never prompts, never waits for long: libsecret itself would open a password window
    // (and wait for ever) on a locked keyring, or try to start a bus where there is none.
    static Availability availability(QString *reason = nullptr);
    // Usable: the default collection is unlocked.
    static bool isUsable(QString *reason = nullptr);
    // Locked or usable: its items can then be listed without a prompt.
    static bool isReachable(QString *reason = nullptr);
};

} // namespace merovantia
