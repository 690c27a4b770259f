#pragma once

#include <functional>

#include <merovantia/KeychainStore.h>

namespace merovantia {

// Secrets in one JSON file readable by its owner only (0600, in a 0700 folder),
// for machines without a Secret Service. Every operation re-reads the file, so
// the application and the framework see each other's writes; writes are atomic
// and serialised across processes by a lock file.
class FileKeychainStore : public KeychainStore {
public:
    explicit FileKeychainStore(QString path);

    QString name() const override;
    int find(const QString &service, const QString &account, QByteArray *password) override;
    int add(const KeychainItem &item) override;
    int update(const QString &service, const QString &account, const QByteArray &password) override;
    int remove(const QString &service, const QString &account) override;
    int list(const QString &service, QList<KeychainItem> *items) override;

    const QString &path() const { return m_path; }

private:
    int load(QList<KeychainItem> *items) const;
    int save(const QList<KeychainItem> &items) const;
    int modify(const std::function<int(QList<KeychainItem> &items)> &change);

    QString m_path;
};

} // namespace merovantia
