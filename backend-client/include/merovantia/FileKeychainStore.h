#pragma once

#include <functional>

#include <merovantia/KeychainStore.h>

namespace merovantia {

// Secrets in one JSON file readable by its owner only (0600, in a 0700 folder),
// for machines without a Secret Service. Every operation re-reads the file, so
// the application and the framework see each other's writes; writes are atomic
// and serialised across processes by a lock file.
//
// The store never follows a symbolic link, so nothing outside the folder is read,
// overwritten or chmod-ed: a linked folder is refused (IOError) and reported; a linked
// file is reported, read as holding nothing and, like a damaged file, moved aside by the
// next write. A damaged file (empty, not our JSON, unreadable, a directory in its place)
// is moved aside as "<file>.damaged-<time>" on the next write, reported, and a new file
// is started; reads treat it as holding nothing. So is anything but a plain file in the
// lock's place.
class FileKeychainStore : public KeychainStore {
public:
    explicit FileKeychainStore(QString path);

    QString name() const override;
    int find(const QString &service, const QString &account, QByteArray *password) override;
    // Keeps the item's creation time when it has one (an item copied from another store).
    int add(const KeychainItem &item) override;
    int update(const QString &service, const QString &account, const QByteArray &password) override;
    int remove(const QString &service, const QString &account) override;
    int list(const QString &service, QList<KeychainItem> *items) override;
    // Holds the lock file while body runs; nested calls on the same path (from this or
    // another store object) run at once. IOError when another process keeps the lock
    // longer than kLockWaitMs: the caller's thread is never held longer than that.
    int exclusively(const std::function<int()> &body) override;

    const QString &path() const { return m_path; }

    static constexpr int kLockWaitMs = 500;

private:
    enum class Access { Read, Write };
    int load(QList<KeychainItem> *items, Access access) const;
    int save(const QList<KeychainItem> &items) const;
    int modify(const std::function<int(QList<KeychainItem> &items)> &change);
    bool folderIsSafe(bool create) const;
    void moveAside(const QString &reason) const;
    static void moveAside(const QString &path, const QString &reason);
    void refuse(const QString &what) const;

    QString m_path;
};

} // namespace merovantia
