#include "platform/store/Notifications.h"

#include "platform/MainQueue.h"
#include "platform/store/Query.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QThreadPool>
#include <QtDebug>

#include <algorithm>

namespace platform {

NotificationToken::NotificationToken(NotificationToken &&other) noexcept
    : m_core(std::move(other.m_core)), m_id(other.m_id) {
    other.m_id = 0;
}

NotificationToken &NotificationToken::operator=(NotificationToken &&other) noexcept {
    if (this != &other) {
        invalidate();
        m_core = std::move(other.m_core);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

NotificationToken::~NotificationToken() {
    invalidate();
}

void NotificationToken::invalidate() {
    if (m_id == 0)
        return;
    if (auto core = m_core.lock())
        core->removeObserver(m_id);
    m_id = 0;
    m_core.reset();
}

NotificationToken Results::observe(std::function<void(const CollectionChange &)> block) const {
    if (!m_query || !m_query->core)
        return {};
    Q_ASSERT_X(isMainThread(), "Results::observe", "observers live on the main thread");
    detail::CollectionObserver observer;
    observer.query = m_query;
    observer.block = std::move(block);
    observer.dependencies = m_query->dependencies();
    observer.shape = m_query->shape();
    const quint64 id = m_query->core->addCollectionObserver(std::move(observer));
    return m_query->core->token(id);
}

NotificationToken Object::observe(std::function<void(const ObjectChange &)> block,
                                  const QStringList &keyPaths) const {
    if (!d || !d->core)
        return {};
    Q_ASSERT_X(isMainThread(), "Object::observe", "observers live on the main thread");
    detail::ObjectObserver observer;
    observer.className = className();
    observer.rowId = d->rowId;
    observer.keyPaths = keyPaths;
    observer.block = std::move(block);
    const quint64 id = d->core->addObjectObserver(std::move(observer));
    return d->core->token(id);
}

namespace detail {

namespace {

constexpr int kPollMs = 500;

} // namespace

void StoreCore::post(const ChangeSet &changes) {
    if (!QCoreApplication::instance())
        return;
    std::lock_guard<std::mutex> lock(pendingMutex);
    pending.merge(changes);
    if (flushScheduled)
        return;
    flushScheduled = true;
    std::weak_ptr<StoreCore> weak = weak_from_this();
    dispatchAsyncMain([weak]() {
        if (auto core = weak.lock())
            core->flush();
    });
}

void StoreCore::flush() {
    ChangeSet changes;
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        changes = std::move(pending);
        pending = ChangeSet();
        flushScheduled = false;
    }
    if (changes.isEmpty())
        return;
    // Every change is worked out on one snapshot; the blocks run after it is
    // released, so that what they write and then read is what they see.
    Connection &c = connection();
    bool reading = false;
    if (!c.db.inTransaction()) {
        try {
            c.db.exec(QStringLiteral("BEGIN"));
            reading = true;
        } catch (const StoreError &) {
            // Each query then reads on its own.
        }
    }
    std::vector<std::pair<quint64, CollectionChange>> collections;
    std::vector<std::pair<quint64, ObjectChange>> objects;
    for (auto &[id, observer] : collectionObservers) {
        CollectionChange change;
        if (!observer.ready)
            continue;
        settleInitialIds(observer);
        if (collectionChange(observer, changes, change))
            collections.emplace_back(id, std::move(change));
    }
    for (auto &[id, observer] : objectObservers) {
        ObjectChange change;
        if (objectChange(observer, changes, change))
            objects.emplace_back(id, std::move(change));
    }
    if (reading) {
        try {
            c.db.exec(QStringLiteral("COMMIT"));
        } catch (const StoreError &) {
            // A read transaction has nothing to lose.
        }
    }
    // Observers may add or remove observers from their blocks.
    for (const auto &[id, change] : collections) {
        auto it = collectionObservers.find(id);
        if (it == collectionObservers.end())
            continue;
        auto block = it->second.block;
        block(change);
    }
    for (const auto &[id, change] : objects) {
        auto it = objectObservers.find(id);
        if (it == objectObservers.end())
            continue;
        auto block = it->second.block;
        block(change);
    }
}

quint64 StoreCore::addCollectionObserver(CollectionObserver observer) {
    const quint64 id = nextObserverId++;
    collectionObservers.emplace(id, std::move(observer));
    std::weak_ptr<StoreCore> weak = weak_from_this();
    dispatchAsyncMain([weak, id]() {
        if (auto core = weak.lock())
            core->deliverInitial(id);
    });
    schedulePoll();
    return id;
}

quint64 StoreCore::addObjectObserver(ObjectObserver observer) {
    const quint64 id = nextObserverId++;
    observer.snapshot = snapshotOf(observer);
    objectObservers.emplace(id, std::move(observer));
    schedulePoll();
    return id;
}

void StoreCore::removeObserver(quint64 id) {
    collectionObservers.erase(id);
    objectObservers.erase(id);
}

void StoreCore::deliverInitial(quint64 id) {
    auto it = collectionObservers.find(id);
    if (it == collectionObservers.end() || it->second.ready)
        return;
    if (it->second.query->count() >= kInitialRowsReadAside)
        readInitialIdsAside(it->second);
    else
        // The ids read since the last commit are the ids now: a list asked for just before costs nothing.
        it->second.lastIds = it->second.query->evaluate();
    it->second.ready = true;
    CollectionChange change;
    change.initial = true;
    auto block = it->second.block;
    block(change);
}

namespace {

// Its own threads: a pool busy with other work must not hold up writes waiting for a read.
QThreadPool &initialReadPool() {
    static QThreadPool pool;
    return pool;
}

} // namespace

void StoreCore::readInitialIdsAside(CollectionObserver &observer) {
    // A query of its own: the interface keeps reading the observed one's rows meanwhile.
    auto query = std::make_shared<ResultsQuery>();
    query->core = observer.query->core;
    query->schema = observer.query->schema;
    query->predicate = observer.query->predicate;
    query->sorts = observer.query->sorts;
    auto read = std::make_shared<InitialIds>();
    observer.initialRead = read;
    // On a connection of its own whose read starts here, on this thread: whatever commits from now
    // on, on any thread, is not in the ids and reaches the observer as a change.
    std::shared_ptr<Connection> reader;
    try {
        reader = std::make_shared<Connection>(this, path, false);
        reader->db.exec(QStringLiteral("BEGIN; PRAGMA schema_version"));
    } catch (const StoreError &) {
        // Read here, then, as a shorter list is.
        QList<qint64> ids = observer.query->evaluate();
        std::lock_guard<std::mutex> lock(read->mutex);
        read->ids = std::move(ids);
        read->finished = true;
        return;
    }
    std::shared_ptr<StoreCore> self = shared_from_this();
    initialReadPool().start([self, query, read, reader]() mutable {
        QList<qint64> ids;
        bool failed = false;
        try {
            ids = query->readIds(*reader);
            reader->db.exec(QStringLiteral("COMMIT"));
        } catch (const StoreError &) {
            failed = true;
        }
        reader.reset();
        {
            std::lock_guard<std::mutex> lock(read->mutex);
            read->ids = std::move(ids);
            read->failed = failed;
            read->finished = true;
        }
        read->done.notify_all();
    });
}

void StoreCore::settleInitialIds(CollectionObserver &observer) {
    if (!observer.initialRead)
        return;
    const std::shared_ptr<InitialIds> read = std::move(observer.initialRead);
    std::unique_lock<std::mutex> lock(read->mutex);
    read->done.wait(lock, [&read] { return read->finished; });
    // Another process's commit may have come in between: the next comparison sets that right.
    observer.lastIds = read->failed ? observer.query->evaluate() : std::move(read->ids);
}

// Other processes (a second launch, the package installer) write the same
// file; while anything is observed the writer connection is asked whether
// someone else committed each time the file or its -wal changes. Only where
// files cannot be watched is it asked every half second, which keeps the main
// thread waking with nothing to do.
void StoreCore::schedulePoll() {
    if (pollScheduled || (collectionObservers.empty() && objectObservers.empty()))
        return;
    if (watchFiles())
        return;
    pollScheduled = true;
    std::weak_ptr<StoreCore> weak = weak_from_this();
    dispatchAfterMain(kPollMs, [weak]() {
        if (auto core = weak.lock())
            core->poll();
    });
}

bool StoreCore::watchFiles() {
    if (watcher)
        return true;
    if (!QCoreApplication::instance() || !isMainThread() || path.isEmpty())
        return false;
    watcher = new QFileSystemWatcher;
    if (!watcher->addPath(path) && !watcher->addPath(QFileInfo(path).absolutePath())) {
        delete watcher;
        watcher = nullptr;
        return false;
    }
    rewatchFiles();
    std::weak_ptr<StoreCore> weak = weak_from_this();
    const auto changed = [weak](const QString &) {
        auto core = weak.lock();
        if (!core)
            return;
        core->rewatchFiles();
        // A commit touches the -wal several times: one check after them.
        if (core->pollScheduled)
            return;
        core->pollScheduled = true;
        dispatchAsyncMain([weak]() {
            if (auto later = weak.lock())
                later->poll();
        });
    };
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, watcher, changed);
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, watcher, changed);
    return true;
}

// A -wal made or replaced since, and the file itself after a rename, are watched again.
void StoreCore::rewatchFiles() {
    if (!watcher)
        return;
    const QStringList watched = watcher->files() + watcher->directories();
    for (const QString &file : {path, path + QStringLiteral("-wal"), QFileInfo(path).absolutePath()}) {
        if (!watched.contains(file) && QFileInfo::exists(file))
            watcher->addPath(file);
    }
}

void StoreCore::poll() {
    pollScheduled = false;
    if (collectionObservers.empty() && objectObservers.empty())
        return;
    bool outside = false;
    {
        std::unique_lock<std::mutex> lock(writerMutex, std::try_to_lock);
        // A writer holding the lock notices outside commits itself.
        if (lock.owns_lock() && writer) {
            try {
                outside = writerNoticesOutsideCommits();
            } catch (const StoreError &) {
                outside = false;
            }
        }
    }
    if (outside) {
        ChangeSet changes;
        changes.outside = true;
        post(changes);
    }
    schedulePoll();
}

} // namespace detail

} // namespace platform
