#include <merovantia/FileKeychainStore.h>

#include "platform/ProblemReporter.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMutex>
#include <QRecursiveMutex>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <functional>
#include <memory>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace merovantia {
namespace {

constexpr QFileDevice::Permissions kFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr mode_t kFolderMode = 0700;

QJsonObject toJson(const KeychainItem &item) {
    QJsonObject object;
    object.insert(QStringLiteral("service"), item.service);
    object.insert(QStringLiteral("account"), item.account);
    if (!item.label.isEmpty())
        object.insert(QStringLiteral("label"), item.label);
    object.insert(QStringLiteral("password"), QString::fromLatin1(item.password.toBase64()));
    object.insert(QStringLiteral("created"), item.created.toUTC().toString(Qt::ISODateWithMs));
    object.insert(QStringLiteral("modified"), item.modified.toUTC().toString(Qt::ISODateWithMs));
    return object;
}

KeychainItem fromJson(const QJsonObject &object) {
    KeychainItem item;
    item.service = object.value(QStringLiteral("service")).toString();
    item.account = object.value(QStringLiteral("account")).toString();
    item.label = object.value(QStringLiteral("label")).toString();
    item.password = QByteArray::fromBase64(object.value(QStringLiteral("password")).toString().toLatin1());
    item.created =
        QDateTime::fromString(object.value(QStringLiteral("created")).toString(), Qt::ISODateWithMs);
    item.modified =
        QDateTime::fromString(object.value(QStringLiteral("modified")).toString(), Qt::ISODateWithMs);
    return item;
}

enum class Shape { Missing, Regular, Link, Directory, Other, Unknown };

// What is at the path itself, a link not followed.
Shape shapeOf(const QString &path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? Shape::Missing : Shape::Unknown;
    if (S_ISLNK(st.st_mode))
        return Shape::Link;
    if (S_ISDIR(st.st_mode))
        return Shape::Directory;
    return S_ISREG(st.st_mode) ? Shape::Regular : Shape::Other;
}

// The lock of one store file, shared by every store object of this process on that path,
// so nested and parallel use inside the process never waits on its own lock file.
struct PathLock {
    QRecursiveMutex mutex;
    int depth = 0;
    std::unique_ptr<QLockFile> file;
};

std::shared_ptr<PathLock> pathLock(const QString &path) {
    static QMutex mutex;
    static QHash<QString, std::shared_ptr<PathLock>> locks;
    QMutexLocker lock(&mutex);
    std::shared_ptr<PathLock> &entry = locks[QFileInfo(path).absoluteFilePath()];
    if (!entry)
        entry = std::make_shared<PathLock>();
    return entry;
}

auto matching(const QString &service, const QString &account) {
    return [service, account](const KeychainItem &item) {
        return item.service == service && item.account == account;
    };
}

} // namespace

FileKeychainStore::FileKeychainStore(QString path) : m_path(std::move(path)) {}

QString FileKeychainStore::name() const {
    return QStringLiteral("file store");
}

// Reported once per path: every request reads the identity.
void FileKeychainStore::refuse(const QString &what) const {
    static QMutex mutex;
    static QSet<QString> reported;
    {
        QMutexLocker lock(&mutex);
        if (reported.contains(what))
            return;
        reported.insert(what);
    }
    qWarning("[keychain] refusing %s: it is a symbolic link", qPrintable(what));
    platform::reportProblem(
        QStringLiteral("Keychain file refused"),
        {{QStringLiteral("path"), what}, {QStringLiteral("reason"), QStringLiteral("symbolic link")}});
}

// The folder must be a real directory of ours; it is made (0700) when create is set.
bool FileKeychainStore::folderIsSafe(bool create) const {
    const QString folder = QFileInfo(m_path).absolutePath();
    switch (shapeOf(folder)) {
    case Shape::Link:
        refuse(folder);
        return false;
    case Shape::Missing:
        if (!create)
            return false;
        if (!QDir().mkpath(QFileInfo(folder).absolutePath()) ||
            (::mkdir(QFile::encodeName(folder).constData(), kFolderMode) != 0 && errno != EEXIST))
            return false;
        return shapeOf(folder) == Shape::Directory;
    case Shape::Directory: {
        if (!create)
            return true;
        // Opened without following links, so the mode lands on this folder only.
        const int fd =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool changed = ::fchmod(fd, kFolderMode) == 0;
        ::close(fd);
        return changed;
    }
    default:
        return false;
    }
}

void FileKeychainStore::moveAside(const QString &reason) const {
    moveAside(m_path, reason);
}

void FileKeychainStore::moveAside(const QString &path, const QString &reason) {
    const QString aside =
        QStringLiteral("%1.damaged-%2")
            .arg(path, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
    const bool moved =
        ::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0;
    qWarning("[keychain] %s is damaged (%s)%s", qPrintable(path), qPrintable(reason),
             moved ? qPrintable(QStringLiteral("; moved to ") + aside) : "; it cannot be moved");
    platform::reportProblem(QStringLiteral("Keychain file damaged"),
                            {{QStringLiteral("path"), path},
                             {QStringLiteral("reason"), reason},
                             {QStringLiteral("movedTo"), moved ? aside : QString()}});
}

// Reads leave a damaged file where it is and see no items; a write (under the lock)
// moves it aside first, so the next save starts a sound file.
int FileKeychainStore::load(QList<KeychainItem> *items, Access access) const {
    items->clear();
    if (!folderIsSafe(false))
        return shapeOf(QFileInfo(m_path).absolutePath()) == Shape::Missing ? KeychainStatus::Success
                                                                           : KeychainStatus::IOError;
    QString damage;
    switch (shapeOf(m_path)) {
    case Shape::Missing:
        return KeychainStatus::Success;
    case Shape::Link:
        // Nothing is read through it; a write renames the link itself, never its target,
        // and starts a file of the store's own instead of failing every save for ever.
        refuse(m_path);
        if (access == Access::Write)
            moveAside(QStringLiteral("a symbolic link"));
        return KeychainStatus::Success;
    case Shape::Regular:
        break;
    case Shape::Directory:
        damage = QStringLiteral("a directory in place of the file");
        break;
    default:
        damage = QStringLiteral("not a regular file");
        break;
    }
    QByteArray data;
    if (damage.isEmpty()) {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const int openError = errno;
        QFile file;
        if (fd >= 0 && !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            qWarning("[keychain] cannot read %s", qPrintable(m_path));
            return KeychainStatus::IOError;
        }
        if (fd < 0 && openError != EACCES && openError != EPERM) {
            qWarning("[keychain] cannot read %s", qPrintable(m_path));
            return KeychainStatus::IOError;
        }
        // A file the store may not read fails every save as surely as a damaged one.
        if (fd < 0)
            damage = QStringLiteral("not readable");
        else
            data = file.readAll();
    }
    if (damage.isEmpty()) {
        QJsonParseError parseError{};
        const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
        const QJsonValue list = document.object().value(QStringLiteral("items"));
        if (data.trimmed().isEmpty())
            damage = QStringLiteral("empty");
        else if (parseError.error != QJsonParseError::NoError)
            damage = parseError.errorString();
        else if (!document.isObject() || !list.isArray())
            damage = QStringLiteral("no list of items");
        else
            for (const QJsonValue &value : list.toArray())
                items->append(fromJson(value.toObject()));
    }
    if (damage.isEmpty())
        return KeychainStatus::Success;
    items->clear();
    if (access == Access::Write)
        moveAside(damage);
    return KeychainStatus::Success;
}

int FileKeychainStore::save(const QList<KeychainItem> &items) const {
    if (!folderIsSafe(true) || shapeOf(m_path) == Shape::Link)
        return KeychainStatus::IOError;
    QJsonArray array;
    for (const KeychainItem &item : items)
        array.append(toJson(item));
    QJsonObject root;
    root.insert(QStringLiteral("items"), array);

    // A new file beside the old one, renamed over it: the old one is never written through.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kFileMode)) {
        qWarning("[keychain] cannot write %s: %s", qPrintable(m_path), qPrintable(file.errorString()));
        return KeychainStatus::IOError;
    }
    file.write(QJsonDocument(root).toJson(QJsonDocument::Compact));
    if (!file.commit()) {
        qWarning("[keychain] cannot write %s: %s", qPrintable(m_path), qPrintable(file.errorString()));
        return KeychainStatus::IOError;
    }
    return KeychainStatus::Success;
}

int FileKeychainStore::exclusively(const std::function<int()> &body) {
    const std::shared_ptr<PathLock> lock = pathLock(m_path);
    if (!lock->mutex.tryLock(kLockWaitMs))
        return KeychainStatus::IOError;
    if (lock->depth == 0) {
        if (!folderIsSafe(true)) {
            lock->mutex.unlock();
            return KeychainStatus::IOError;
        }
        const QString lockPath = m_path + QStringLiteral(".lock");
        // A link, folder or other odd thing in the lock's place would never look stale, and
        // would keep every save out for ever.
        const Shape lockShape = shapeOf(lockPath);
        if (lockShape != Shape::Missing && lockShape != Shape::Regular)
            moveAside(lockPath, QStringLiteral("not a regular lock file"));
        lock->file = std::make_unique<QLockFile>(lockPath);
        lock->file->setStaleLockTime(10000);
        if (!lock->file->tryLock(kLockWaitMs)) {
            qWarning("[keychain] %s is locked by another process", qPrintable(m_path));
            lock->file.reset();
            lock->mutex.unlock();
            return KeychainStatus::IOError;
        }
    }
    ++lock->depth;
    const int status = body();
    if (--lock->depth == 0)
        lock->file.reset(); // unlocks
    lock->mutex.unlock();
    return status;
}

int FileKeychainStore::find(const QString &service, const QString &account, QByteArray *password) {
    QList<KeychainItem> items;
    if (const int status = load(&items, Access::Read))
        return status;
    const auto it = std::find_if(items.cbegin(), items.cend(), matching(service, account));
    if (it == items.cend())
        return KeychainStatus::ItemNotFound;
    if (password)
        *password = it->password;
    return KeychainStatus::Success;
}

int FileKeychainStore::modify(const std::function<int(QList<KeychainItem> &items)> &change) {
    // Read, change and write under the lock so two processes never interleave.
    return exclusively([&] {
        QList<KeychainItem> items;
        if (const int status = load(&items, Access::Write))
            return status;
        if (const int status = change(items))
            return status;
        return save(items);
    });
}

int FileKeychainStore::add(const KeychainItem &item) {
    return modify([&](QList<KeychainItem> &items) {
        if (std::any_of(items.cbegin(), items.cend(), matching(item.service, item.account)))
            return KeychainStatus::DuplicateItem;
        KeychainItem stored = item;
        stored.modified = QDateTime::currentDateTimeUtc();
        if (!stored.created.isValid())
            stored.created = stored.modified;
        items.append(stored);
        return KeychainStatus::Success;
    });
}

int FileKeychainStore::update(const QString &service, const QString &account, const QByteArray &password) {
    return modify([&](QList<KeychainItem> &items) {
        const auto it = std::find_if(items.begin(), items.end(), matching(service, account));
        if (it == items.end())
            return KeychainStatus::ItemNotFound;
        it->password = password;
        it->modified = QDateTime::currentDateTimeUtc();
        return KeychainStatus::Success;
    });
}

int FileKeychainStore::remove(const QString &service, const QString &account) {
    return modify([&](QList<KeychainItem> &items) {
        const auto it = std::find_if(items.begin(), items.end(), matching(service, account));
        if (it == items.end())
            return KeychainStatus::ItemNotFound;
        items.erase(it);
        return KeychainStatus::Success;
    });
}

int FileKeychainStore::list(const QString &service, QList<KeychainItem> *items) {
    QList<KeychainItem> all;
    if (const int status = load(&all, Access::Read))
        return status;
    items->clear();
    for (KeychainItem &item : all) {
        if (service.isEmpty() || item.service == service) {
            item.password.clear();
            items->append(item);
        }
    }
    return items->isEmpty() ? KeychainStatus::ItemNotFound : KeychainStatus::Success;
}

} // namespace merovantia
