// Copying one store's items into another, as the move to a keyring that came up late does.
#include "KeychainTestSupport.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QThread>

namespace {

using merovantia::FileKeychainStore;
using merovantia::KeychainItem;
namespace Status = merovantia::KeychainStatus;

// A store that refuses one operation and does everything else in a file.
class RefusingOne : public FileKeychainStore {
public:
    enum Refused { Nothing, Listing, Adding, Updating };
    RefusingOne(const QString &path, Refused refused) : FileKeychainStore(path), m_refused(refused) {}
    int add(const KeychainItem &item) override {
        return m_refused == Adding ? Status::IOError : FileKeychainStore::add(item);
    }
    int update(const QString &service, const QString &account, const QByteArray &password) override {
        return m_refused == Updating ? Status::IOError
                                     : FileKeychainStore::update(service, account, password);
    }
    int list(const QString &service, QList<KeychainItem> *items) override {
        return m_refused == Listing ? Status::NotAvailable : FileKeychainStore::list(service, items);
    }

private:
    Refused m_refused;
};

QStringList contents(FileKeychainStore &store) {
    QList<KeychainItem> items;
    store.list(QString(), &items);
    QStringList lines;
    for (const KeychainItem &item : std::as_const(items)) {
        QByteArray password;
        store.find(item.service, item.account, &password);
        lines << item.service + '/' + item.account + '=' + QString::fromUtf8(password);
    }
    lines.sort();
    return lines;
}

KeychainItem item(const QString &service, const QString &account, const QByteArray &password,
                  const QDateTime &created = {}) {
    return {service, account, QString(), password, created, {}};
}

} // namespace

// Failures first: a refusing target keeps the source whole, and says so.
TEST(KeychainCopyTest, EveryItemReachesTheOtherStoreAndTheSourceStaysWhole) {
    const QDateTime old = QDateTime::fromString(QStringLiteral("2020-01-01T00:00:00Z"), Qt::ISODate);
    struct Case {
        const char *name;
        RefusingOne::Refused refused;
        QList<KeychainItem> held; // in the target before the copy, written before the source's
        bool heldLater = false;   // written after the source's instead
        int status;
        int copied;
        QStringList after; // the target's items
    } cases[] = {
        {"a target that cannot add", RefusingOne::Adding, {}, false, Status::IOError, 0, {}},
        {"a target that cannot update",
         RefusingOne::Updating,
         {item("id", "U1", "old-key")},
         false,
         Status::IOError,
         0,
         {"id/U1=old-key"}},
        {"a target that cannot list",
         RefusingOne::Listing,
         {item("id", "U1", "old-key")},
         false,
         Status::NotAvailable,
         0,
         {"id/U1=old-key"}},
        {"an empty target",
         RefusingOne::Nothing,
         {},
         false,
         Status::Success,
         2,
         {"id/U1=key", "token/alice=secret"}},
        {"a target holding the same",
         RefusingOne::Nothing,
         {item("id", "U1", "key"), item("token", "alice", "secret")},
         false,
         Status::Success,
         0,
         {"id/U1=key", "token/alice=secret"}},
        {"a target changed earlier",
         RefusingOne::Nothing,
         {item("token", "alice", "older")},
         false,
         Status::Success,
         2,
         {"id/U1=key", "token/alice=secret"}},
        {"a target changed later",
         RefusingOne::Nothing,
         {item("token", "alice", "newer")},
         true,
         Status::Success,
         1,
         {"id/U1=key", "token/alice=newer"}},
        {"a target holding another identity",
         RefusingOne::Nothing,
         {item("id", "U0", "key", old)},
         false,
         Status::Success,
         2,
         {"id/U0=key", "id/U1=key", "token/alice=secret"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        FileKeychainStore source(dir.filePath(QStringLiteral("source/items.json")));
        RefusingOne target(dir.filePath(QStringLiteral("target/items.json")), RefusingOne::Nothing);
        const auto hold = [&] {
            for (const KeychainItem &each : c.held)
                ASSERT_EQ(target.add(each), Status::Success);
            // The stores keep milliseconds: the next write is later.
            QThread::msleep(5);
        };
        if (!c.heldLater)
            hold();
        ASSERT_EQ(source.add(item("id", "U1", "key")), Status::Success);
        ASSERT_EQ(source.add(item("token", "alice", "secret")), Status::Success);
        if (c.heldLater) {
            QThread::msleep(5);
            hold();
        }
        RefusingOne refusing(target.path(), c.refused);

        int copied = -1;
        EXPECT_EQ(merovantia::KeychainStore::copyItems(source, refusing, &copied), c.status);
        EXPECT_EQ(copied, c.copied);
        EXPECT_EQ(contents(target), c.after);
        EXPECT_EQ(contents(source), (QStringList{"id/U1=key", "token/alice=secret"}))
            << "the source is left whole";
    }
}
