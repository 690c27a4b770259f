#include <merovantia/SAMKeychainQuery.h>

#include <merovantia/KeychainStore.h>
#include <merovantia/SAMKeychain.h>

#include <QDataStream>
#include <QIODevice>

namespace {

using merovantia::KeychainStatus::BadArguments;
using merovantia::KeychainStatus::ItemNotFound;
using merovantia::KeychainStatus::Success;

void report(int status, platform::Error *error) {
    if (error)
        *error = SAMKeychainQuery::errorWithCode(status);
}

QString messageFor(int code) {
    switch (code) {
    case BadArguments:
        return QStringLiteral("Some of the arguments were invalid");
    case ItemNotFound:
        return QStringLiteral("The specified item could not be found in the keychain.");
    case merovantia::KeychainStatus::DuplicateItem:
        return QStringLiteral("The specified item already exists in the keychain.");
    case merovantia::KeychainStatus::NotAvailable:
        return QStringLiteral("No keychain is available.");
    case merovantia::KeychainStatus::InteractionNotAllowed:
        return QStringLiteral("User interaction is not allowed.");
    case merovantia::KeychainStatus::IOError:
        return QStringLiteral("The keychain could not be read or written.");
    default:
        return QStringLiteral("Keychain error %1.").arg(code);
    }
}

} // namespace

QString SAMKeychainQuery::password() const {
    if (passwordData.isEmpty())
        return {};
    return QString::fromUtf8(passwordData);
}

void SAMKeychainQuery::setPassword(const QString &value) {
    passwordData = value.toUtf8();
}

QVariant SAMKeychainQuery::passwordObject() const {
    if (passwordData.isEmpty())
        return {};
    QDataStream stream(passwordData);
    QVariant object;
    stream >> object;
    return stream.status() == QDataStream::Ok ? object : QVariant();
}

void SAMKeychainQuery::setPasswordObject(const QVariant &object) {
    passwordData.clear();
    QDataStream stream(&passwordData, QIODevice::WriteOnly);
    stream << object;
}

bool SAMKeychainQuery::save(platform::Error *error) {
    if (service.isEmpty() || account.isEmpty() || passwordData.isEmpty()) {
        report(BadArguments, error);
        return false;
    }
    const auto store = merovantia::KeychainStore::shared();
    int status = store->find(service, account, nullptr);
    if (status == ItemNotFound)
        status = store->add({service, account, label, passwordData, {}, {}});
    else if (status == Success)
        status = store->update(service, account, passwordData);
    report(status, error);
    return status == Success;
}

bool SAMKeychainQuery::deleteItem(platform::Error *error) {
    if (service.isEmpty() || account.isEmpty()) {
        report(BadArguments, error);
        return false;
    }
    const int status = merovantia::KeychainStore::shared()->remove(service, account);
    report(status, error);
    return status == Success;
}

QList<QVariantMap> SAMKeychainQuery::fetchAll(platform::Error *error) {
    QList<merovantia::KeychainItem> items;
    const int status = merovantia::KeychainStore::shared()->list(service, &items);
    report(status, error);
    QList<QVariantMap> result;
    if (status != Success)
        return result;
    for (const merovantia::KeychainItem &item : items) {
        QVariantMap attributes;
        attributes.insert(QString::fromLatin1(kSAMKeychainAccountKey), item.account);
        attributes.insert(QString::fromLatin1(kSAMKeychainWhereKey), item.service);
        attributes.insert(QString::fromLatin1(kSAMKeychainLabelKey), item.label);
        attributes.insert(QString::fromLatin1(kSAMKeychainCreatedAtKey), item.created);
        attributes.insert(QString::fromLatin1(kSAMKeychainLastModifiedKey), item.modified);
        result.append(attributes);
    }
    return result;
}

bool SAMKeychainQuery::fetch(platform::Error *error) {
    if (service.isEmpty() || account.isEmpty()) {
        report(BadArguments, error);
        return false;
    }
    QByteArray data;
    const int status = merovantia::KeychainStore::shared()->find(service, account, &data);
    report(status, error);
    if (status != Success)
        return false;
    passwordData = data;
    return true;
}

QVariantMap SAMKeychainQuery::query() const {
    QVariantMap dictionary;
    dictionary.insert(QStringLiteral("class"), QStringLiteral("genp"));
    if (!service.isEmpty())
        dictionary.insert(QString::fromLatin1(kSAMKeychainWhereKey), service);
    if (!account.isEmpty())
        dictionary.insert(QString::fromLatin1(kSAMKeychainAccountKey), account);
    if (!accessGroup.isEmpty())
        dictionary.insert(QStringLiteral("agrp"), accessGroup);
    if (isSynchronizationAvailable()) {
        static const QVariant kValues[] = {QStringLiteral("syna"), false, true};
        dictionary.insert(QStringLiteral("sync"), kValues[static_cast<unsigned>(synchronizationMode) % 3]);
    }
    return dictionary;
}

// Neither store synchronises items between devices.
bool SAMKeychainQuery::isSynchronizationAvailable() {
    return false;
}

platform::Error SAMKeychainQuery::errorWithCode(int code) {
    if (code == Success)
        return {};
    return platform::Error(QString::fromLatin1(kSAMKeychainErrorDomain), code, messageFor(code));
}
