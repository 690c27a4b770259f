#pragma once

#include "platform/Error.h"
#include "platform/store/Object.h"
#include "platform/store/Query.h"
#include "platform/store/Schema.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {

class Migration;
class Transaction;

// A damaged file found at open: what could be saved from it.
struct SalvageReport {
    QString movedTo;        // the damaged file, kept aside as it was
    qint64 kept = 0;        // objects copied into the fresh file
    qint64 lost = 0;        // objects known to have been stored that could not be read
    QStringList unreadable; // classes of which nothing could be read nor counted
    // Classes whose lost objects could not all be counted (their table and every
    // index of it were damaged): `lost` is then the least that was lost.
    QStringList uncounted;
    QDateTime when;
};

struct StoreConfiguration {
    QString path; // empty: "default.sqlite" in AppPaths::state()
    quint64 schemaVersion = 0;
    QList<ObjectSchema> classes;
    // Runs inside the opening transaction when the file's version is older
    // (never for a new file). It reads old rows and writes new ones.
    std::function<void(Migration &migration, quint64 oldSchemaVersion)> migration;
};

// The object store: one SQLite file (WAL) holding every declared class.
//
// Open once at launch (main thread), then use from any thread; each thread
// reads and writes through its own connection and writers queue one after
// another. Notifications always arrive on the main thread after commit.
//
//   platform::StoreConfiguration config;
//   config.schemaVersion = 112;
//   config.classes = {QVLanguageMode::schema(), QVLanguageRealm::schema()};
//   config.migration = [](platform::Migration &m, quint64 old) { ... };
//   platform::ObjectStore::setDefaultConfiguration(config);
//   platform::ObjectStore store = platform::ObjectStore::defaultStore();
//
//   platform::Error error = store.write([&](platform::Transaction &tx) {
//       platform::Object mode = tx.create("QVLanguageMode", {{"translation", true}});
//       tx.createOrUpdate("QVLanguageRealm", {{"localeIdentifier", "en_GB"},
//                                             {"languageName", "English"},
//                                             {"languageModes", QVariant::fromValue(mode)}});
//   });
//
//   platform::Results english = store.objects("QVLanguageRealm")
//       .filter(platform::Key("languageModes.translation") == true).sorted("languageName");
//   token = english.observe([](const platform::CollectionChange &change) { ... });
class ObjectStore {
public:
    ObjectStore() = default;

    // Opens (creating, migrating or salvaging) the file. Opening reads little:
    // the file is checked whole only when SQLite reported damage in it before
    // (see checkIntegrity()). A damaged file is salvaged: every object that can
    // still be read is copied into a fresh file, the damaged one is kept aside
    // next to it, and a SalvageReport waits for the user (pendingSalvageReports()).
    // A file written by a newer schema is refused and left untouched; a file
    // that cannot be written is refused at once (ReadOnly). Another program
    // writing the file holds up no open of a file already shaped; one that keeps
    // it locked where the open must write (a new file, a migration) is waited for
    // half a second on the main thread, as long as a write waits elsewhere, and
    // then refused (InUse).
    static ObjectStore open(const StoreConfiguration &configuration, Error *error = nullptr);

    // The application's store: opened from this configuration on first use
    // (null, with an error, until a configuration is set).
    static void setDefaultConfiguration(const StoreConfiguration &configuration);
    static ObjectStore defaultStore(Error *error = nullptr);
    static void resetDefaultStore(); // tests

    // Where the store reports problems it recovers from (damaged file, failed
    // write). Defaults to qWarning; the application routes it to DevLogger.
    using Reporter = std::function<void(const Error &error, const QString &message)>;
    static void setReporter(Reporter reporter);

    bool isNull() const { return !m_core; }
    QString path() const;
    quint64 schemaVersion() const;
    const ObjectSchema *schemaFor(const QString &className) const;
    QList<ObjectSchema> schema() const;

    Results objects(const QString &className) const;
    Object objectForPrimaryKey(const QString &className, const QVariant &key) const;

    // What this thread reads of the store, as a value that changes whenever that may have
    // changed: a commit of this process, a write of this thread's open transaction, a commit
    // another process made (noticed as the store's own reads notice it). A caller keeps what it
    // made of its reads for as long as the version stays the same.
    struct Version {
        quint64 store = 0;
        quint64 commits = 0;
        quint64 localWrites = 0;
        quint64 outside = 0;
        bool operator==(const Version &o) const {
            return store == o.store && commits == o.commits && localWrites == o.localWrites &&
                   outside == o.outside;
        }
        bool operator!=(const Version &o) const { return !(*this == o); }
    };
    // A null store's version is the default value.
    Version version() const;

    // Runs the block in a write transaction. A block that runs while this
    // thread's transaction is open joins it: only the outermost call commits.
    // Any error inside (a StoreError, any exception, or an error from a joined
    // block) rolls back the whole outermost transaction; the error is returned
    // by the call that met it and by the outermost one.
    Error write(const std::function<void(Transaction &tx)> &block) const;
    bool isInWriteTransaction() const;

    // Salvages not yet told to the user, oldest first; they stay in the file
    // (so that another process or the next launch can still tell) until
    // acknowledged. At launch:
    //
    //   const auto reports = store.pendingSalvageReports();
    //   if (!reports.isEmpty()) { showSalvageNotice(reports); store.acknowledgeSalvageReports(); }
    QList<SalvageReport> pendingSalvageReports() const;
    Error acknowledgeSalvageReports() const;

    // Reads the whole file to check it (slow at scale: call it off the main
    // thread, after launch). A damaged file is reported (DamagedFile) and
    // salvaged at the next open; SQLite's own reports of damage while the
    // store is used do the same.
    Error checkIntegrity() const;

    bool operator==(const ObjectStore &other) const { return m_core == other.m_core; }

    static constexpr const char *kErrorDomain = "platform.store";
    enum ErrorCode {
        WriteFailed = 1,
        OpenFailed = 2,
        NewerSchema = 3,
        DamagedFile = 4,
        MigrationFailed = 5,
        ReadOnly = 6,
        InUse = 7
    };

private:
    friend class Object;
    friend class Transaction;
    friend class Results;
    friend struct detail::StoreCore;
    explicit ObjectStore(std::shared_ptr<detail::StoreCore> core) : m_core(std::move(core)) {}
    std::shared_ptr<detail::StoreCore> m_core;
};

// Handed to the migration block.
//
//   config.migration = [](platform::Migration &m, quint64 old) {
//       if (old <= 100)
//           m.transaction().removeAll("QVTranslationRealm");
//       m.enumerateObjects("QVLanguageRealm", [&](const QVariantMap &oldRow, platform::Object &object) {
//           object.set(m.transaction(), "localeIdentifier", table.value(oldRow["idLanguage"].toString()));
//       });
//   };
class Migration {
public:
    quint64 oldSchemaVersion() const { return m_oldVersion; }
    Transaction &transaction() { return *m_transaction; }
    ObjectStore store() const { return m_store; }
    // Visits every stored object of the class with its old row (every column
    // the file held, by name, including properties no longer declared).
    void enumerateObjects(const QString &className,
                          const std::function<void(const QVariantMap &oldRow, Object &object)> &block);

private:
    friend struct detail::StoreCore;
    Migration(ObjectStore store, Transaction *transaction, quint64 oldVersion)
        : m_store(std::move(store)), m_transaction(transaction), m_oldVersion(oldVersion) {}
    ObjectStore m_store;
    Transaction *m_transaction;
    quint64 m_oldVersion;
};

} // namespace platform
