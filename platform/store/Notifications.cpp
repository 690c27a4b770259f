#include "platform/store/Notifications.h"

#include "platform/MainQueue.h"
#include "platform/store/Query.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

#include <QCoreApplication>
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

// Positions (in `sequence`) of one longest strictly increasing subsequence.
QSet<int> longestIncreasing(const QList<int> &sequence) {
    QList<int> tailIndex;
    QList<int> previous(sequence.size(), -1);
    for (int i = 0; i < sequence.size(); ++i) {
        auto it = std::lower_bound(tailIndex.begin(), tailIndex.end(), sequence.at(i),
                                   [&](int index, int value) { return sequence.at(index) < value; });
        const int position = static_cast<int>(it - tailIndex.begin());
        if (position > 0)
            previous[i] = tailIndex.at(position - 1);
        if (it == tailIndex.end())
            tailIndex.append(i);
        else
            *it = i;
    }
    QSet<int> kept;
    for (int i = tailIndex.isEmpty() ? -1 : tailIndex.last(); i >= 0; i = previous.at(i))
        kept.insert(i);
    return kept;
}

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
    // Observers may add or remove observers from their blocks.
    std::vector<quint64> collectionIds;
    for (const auto &entry : collectionObservers)
        collectionIds.push_back(entry.first);
    std::vector<quint64> objectIds;
    for (const auto &entry : objectObservers)
        objectIds.push_back(entry.first);
    for (quint64 id : collectionIds)
        deliverCollection(id, changes);
    for (quint64 id : objectIds)
        deliverObject(id, changes);
}

quint64 StoreCore::addCollectionObserver(CollectionObserver observer) {
    const quint64 id = nextObserverId++;
    collectionObservers.emplace(id, std::move(observer));
    std::weak_ptr<StoreCore> weak = weak_from_this();
    dispatchAsyncMain([weak, id]() {
        if (auto core = weak.lock())
            core->deliverInitial(id);
    });
    return id;
}

quint64 StoreCore::addObjectObserver(ObjectObserver observer) {
    const quint64 id = nextObserverId++;
    objectObservers.emplace(id, std::move(observer));
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
    it->second.lastIds = it->second.query->evaluate(true);
    it->second.ready = true;
    CollectionChange change;
    change.initial = true;
    auto block = it->second.block;
    block(change);
}

void StoreCore::deliverCollection(quint64 id, const ChangeSet &changes) {
    auto it = collectionObservers.find(id);
    if (it == collectionObservers.end() || !it->second.ready || !changes.touches(it->second.dependencies))
        return;
    CollectionObserver &observer = it->second;
    const QList<qint64> now = observer.query->evaluate(true);
    const QList<qint64> &before = observer.lastIds;

    QHash<qint64, int> oldIndex;
    oldIndex.reserve(before.size());
    for (int i = 0; i < before.size(); ++i)
        oldIndex.insert(before.at(i), i);
    QHash<qint64, int> newIndex;
    newIndex.reserve(now.size());
    for (int i = 0; i < now.size(); ++i)
        newIndex.insert(now.at(i), i);

    CollectionChange change;
    for (int i = 0; i < before.size(); ++i) {
        if (!newIndex.contains(before.at(i)))
            change.deletions.append(i);
    }
    // Objects kept in both states; those out of their relative order moved,
    // and a move is reported as a deletion plus an insertion.
    QList<int> keptNew;
    QList<int> keptOld;
    for (int j = 0; j < now.size(); ++j) {
        auto o = oldIndex.constFind(now.at(j));
        if (o == oldIndex.constEnd()) {
            change.insertions.append(j);
        } else {
            keptNew.append(j);
            keptOld.append(o.value());
        }
    }
    const QSet<int> inOrder = longestIncreasing(keptOld);
    const QSet<qint64> modified = modifiedRows(*observer.query->schema, changes);
    for (int k = 0; k < keptNew.size(); ++k) {
        if (!inOrder.contains(k)) {
            change.deletions.append(keptOld.at(k));
            change.insertions.append(keptNew.at(k));
        } else if (modified.contains(now.at(keptNew.at(k)))) {
            change.modifications.append(keptNew.at(k));
        }
    }
    std::sort(change.deletions.begin(), change.deletions.end());
    std::sort(change.insertions.begin(), change.insertions.end());
    observer.lastIds = now;
    if (change.isEmpty())
        return;
    auto block = observer.block;
    block(change);
}

QSet<qint64> StoreCore::modifiedRows(const ObjectSchema &schema, const ChangeSet &changes) {
    QSet<qint64> rows;
    const auto own = changes.classes.constFind(schema.className());
    if (own != changes.classes.constEnd()) {
        for (auto it = own->modified.cbegin(); it != own->modified.cend(); ++it)
            rows.insert(it.key());
    }
    // A change in an object that a row links to directly counts as a change of the row.
    Connection &c = connection();
    for (const Property &p : schema.properties()) {
        if (p.isScalar())
            continue;
        const auto target = changes.classes.constFind(p.objectClass);
        if (target == changes.classes.constEnd() || target->modified.isEmpty())
            continue;
        QStringList ids;
        for (auto it = target->modified.cbegin(); it != target->modified.cend(); ++it)
            ids.append(QString::number(it.key()));
        const QString sql = p.isLink()
                                ? QStringLiteral("SELECT _id FROM %1 WHERE %2 IN (%3)")
                                      .arg(sqlite::quoted(schema.className()), sqlite::quoted(p.name),
                                           ids.join(QLatin1Char(',')))
                                : QStringLiteral("SELECT DISTINCT owner FROM %1 WHERE target IN (%2)")
                                      .arg(listTable(schema.className(), p.name), ids.join(QLatin1Char(',')));
        try {
            sqlite::Statement st(c.db.handle(), sql.toUtf8());
            while (st.step())
                rows.insert(st.columnInt(0));
        } catch (const StoreError &e) {
            report(
                Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
                QStringLiteral("Object store notification failed"));
        }
    }
    return rows;
}

void StoreCore::deliverObject(quint64 id, const ChangeSet &changes) {
    auto it = objectObservers.find(id);
    if (it == objectObservers.end() || it->second.gone)
        return;
    ObjectObserver &observer = it->second;
    const auto own = changes.classes.constFind(observer.className);
    ObjectChange change;
    if (own != changes.classes.constEnd() && own->deleted.contains(observer.rowId)) {
        observer.gone = true;
        change.deleted = true;
        auto block = observer.block;
        block(change);
        return;
    }
    const ObjectSchema &schema = *classes.value(observer.className);
    const QSet<QString> direct =
        own != changes.classes.constEnd() ? own->modified.value(observer.rowId) : QSet<QString>();
    const Object object = makeObject(observer.className, observer.rowId);

    // Whether anything along `path` (starting at `from`) changed in this batch.
    auto pathChanged = [&](const QString &path) {
        const QStringList components = path.split(QLatin1Char('.'));
        Object current = object;
        const ObjectSchema *currentSchema = &schema;
        for (int i = 0; i < components.size(); ++i) {
            const QString &name = components.at(i);
            const auto cls = changes.classes.constFind(currentSchema->className());
            if (cls != changes.classes.constEnd() && cls->modified.value(current.rowId()).contains(name))
                return true;
            const Property *p = currentSchema->propertyNamed(name);
            if (!p || !p->isLink() || i + 1 == components.size())
                return false;
            current = current.link(name);
            if (current.isNull())
                return false;
            currentSchema = &current.schema();
        }
        return false;
    };

    for (const Property &p : schema.properties()) {
        bool changed = false;
        if (observer.keyPaths.isEmpty()) {
            changed = direct.contains(p.name);
        } else {
            for (const QString &path : observer.keyPaths) {
                if ((path == p.name || path.startsWith(p.name + QLatin1Char('.'))) && pathChanged(path)) {
                    changed = true;
                    break;
                }
            }
        }
        if (changed)
            change.properties.append(p.name);
    }
    if (change.properties.isEmpty())
        return;
    auto block = observer.block;
    block(change);
}

} // namespace detail

} // namespace platform
