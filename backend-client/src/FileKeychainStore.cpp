#include <merovantia/FileKeychainStore.h>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>

#include <functional>

#include <algorithm>

namespace merovantia {
namespace {

constexpr QFileDevice::Permissions kFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kFolderMode =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

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

bool ensureFolder(const QString &path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder, kFolderMode);
}

// Serialises read-modify-write cycles between threads and processes.
class StoreLock {
public:
    explicit StoreLock(const QString &path) : m_lock(path + QStringLiteral(".lock")) {
        m_lock.setStaleLockTime(10000);
        m_locked = ensureFolder(path) && m_lock.tryLock(5000);
    }
    bool locked() const { return m_locked; }

private:
    QLockFile m_lock;
    bool m_locked = false;
};

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

int FileKeychainStore::load(QList<KeychainItem> *items) const {
    items->clear();
    QFile file(m_path);
    if (!file.exists())
        return KeychainStatus::Success;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("[keychain] cannot read %s: %s", qPrintable(m_path), qPrintable(file.errorString()));
        return KeychainStatus::IOError;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        qWarning("[keychain] %s is damaged: %s", qPrintable(m_path), qPrintable(parseError.errorString()));
        return KeychainStatus::IOError;
    }
    const QJsonArray array = document.object().value(QStringLiteral("items")).toArray();
    for (const QJsonValue &value : array)
        items->append(fromJson(value.toObject()));
    return KeychainStatus::Success;
}

int FileKeychainStore::save(const QList<KeychainItem> &items) const {
    if (!ensureFolder(m_path))
        return KeychainStatus::IOError;
    QJsonArray array;
    for (const KeychainItem &item : items)
        array.append(toJson(item));
    QJsonObject root;
    root.insert(QStringLiteral("items"), array);

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

int FileKeychainStore::find(const QString &service, const QString &account, QByteArray *password) {
    QList<KeychainItem> items;
    if (const int status = load(&items))
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
    StoreLock lock(m_path);
    if (!lock.locked())
        return KeychainStatus::IOError;
    QList<KeychainItem> items;
    if (const int status = load(&items))
        return status;
    if (const int status = change(items))
        return status;
    return save(items);
}

int FileKeychainStore::add(const KeychainItem &item) {
    return modify([&](QList<KeychainItem> &items) {
        if (std::any_of(items.cbegin(), items.cend(), matching(item.service, item.account)))
            return KeychainStatus::DuplicateItem;
        KeychainItem stored = item;
        stored.created = stored.modified = QDateTime::currentDateTimeUtc();
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
    if (const int status = load(&all))
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
