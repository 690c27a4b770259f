// How one commit changes an observed list: from the change set alone where few rows move,
// else by running the query again and comparing.
#include "platform/store/Notifications.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

#include <QtDebug>

#include <algorithm>

namespace platform {
namespace detail {

namespace {

// Past this many rows entering, leaving or moving, one re-run of the query is cheaper.
constexpr int kIncrementalLimit = 256;

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

// A sorted set of ids: looking up every row of a large result costs a few
// comparisons each, with nothing to hash.
class IdSet {
public:
    void insert(qint64 id) { m_ids.push_back(id); }
    void seal() {
        std::sort(m_ids.begin(), m_ids.end());
        m_ids.erase(std::unique(m_ids.begin(), m_ids.end()), m_ids.end());
    }
    bool contains(qint64 id) const { return std::binary_search(m_ids.begin(), m_ids.end(), id); }
    bool isEmpty() const { return m_ids.empty(); }
    size_t size() const { return m_ids.size(); }

private:
    std::vector<qint64> m_ids;
};

// SQLite's order of stored values: null, numbers, text (bytes), blobs.
int compareRaw(const QVariant &a, const QVariant &b) {
    const auto rank = [](const QVariant &v) {
        if (!v.isValid() || v.isNull())
            return 0;
        switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Double:
            return 1;
        case QMetaType::QString:
            return 2;
        default:
            return 3;
        }
    };
    const int ra = rank(a);
    const int rb = rank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 1:
        if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
            const qint64 x = a.toLongLong();
            const qint64 y = b.toLongLong();
            return x < y ? -1 : (x > y ? 1 : 0);
        } else {
            const long double x = a.typeId() == QMetaType::LongLong ? static_cast<long double>(a.toLongLong())
                                                                    : static_cast<long double>(a.toDouble());
            const long double y = b.typeId() == QMetaType::LongLong ? static_cast<long double>(b.toLongLong())
                                                                    : static_cast<long double>(b.toDouble());
            return x < y ? -1 : (x > y ? 1 : 0);
        }
    case 2: {
        const int c = a.toString().toUtf8().compare(b.toString().toUtf8());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case 3: {
        const int c = a.toByteArray().compare(b.toByteArray());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default:
        return 0;
    }
}

} // namespace

bool StoreCore::collectionChange(CollectionObserver &observer, const ChangeSet &changes,
                                 CollectionChange &change) {
    if (!changes.touches(observer.dependencies))
        return false;
    const QueryShape &shape = observer.shape;
    const QString root = observer.query->schema->className();
    const auto own = changes.classes.constFind(root);
    const ChangeSet::ClassChanges none;
    const ChangeSet::ClassChanges &rc = own != changes.classes.constEnd() ? *own : none;
    bool incremental = shape.valid && !changes.outside && !rc.cleared && !changes.touches(shape.pathClasses);

    // Rows that may enter, leave or move: gone ones, new ones, and changed ones
    // whose change touches what the query filters or sorts on.
    IdSet moved;
    QList<qint64> candidates;
    if (incremental) {
        for (qint64 id : rc.deleted)
            moved.insert(id);
        for (auto it = rc.modified.cbegin(); it != rc.modified.cend() && incremental; ++it) {
            if (it.value().intersects(shape.rootProperties)) {
                moved.insert(it.key());
                candidates.append(it.key());
            }
        }
        candidates.append(QList<qint64>(rc.inserted.cbegin(), rc.inserted.cend()));
        moved.seal();
        incremental = moved.size() + static_cast<size_t>(candidates.size()) <= kIncrementalLimit;
    }
    const QSet<qint64> modified =
        changes.outside ? QSet<qint64>() : modifiedRows(*observer.query->schema, changes);
    Connection &c = connection();
    QHash<qint64, QVariantList> keys;
    QList<qint64> entering;
    if (incremental && !candidates.isEmpty()) {
        QStringList list;
        for (qint64 id : std::as_const(candidates))
            list.append(QString::number(id));
        try {
            sqlite::Statement st(c.db.handle(), shape.candidatesSql.arg(list.join(QLatin1Char(','))).toUtf8(),
                                 &c.db);
            for (int i = 0; i < shape.binds.size(); ++i)
                st.bind(i + 1, shape.binds.at(i));
            while (st.step()) {
                QVariantList key;
                for (int i = 1; i < st.columnCount(); ++i)
                    key.append(st.column(i));
                const qint64 id = st.columnInt(0);
                if (!keys.contains(id))
                    entering.append(id);
                keys.insert(id, key);
            }
        } catch (const StoreError &) {
            incremental = false;
        }
    }

    if (!incremental) {
        // Re-run the query and compare.
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
        for (int k = 0; k < keptNew.size(); ++k) {
            if (!inOrder.contains(k)) {
                change.deletions.append(keptOld.at(k));
                change.insertions.append(keptNew.at(k));
            } else if (changes.outside || modified.contains(now.at(keptNew.at(k)))) {
                // After another process's commit which rows changed is unknown: all may have.
                change.modifications.append(keptNew.at(k));
            }
        }
        std::sort(change.deletions.begin(), change.deletions.end());
        std::sort(change.insertions.begin(), change.insertions.end());
        observer.lastIds = now;
        return !change.isEmpty();
    }

    // From the change set alone: take the moved rows out, put those that still
    // match back where their order keys place them.
    const QList<qint64> &before = observer.lastIds;
    IdSet stay;
    for (qint64 id : modified) {
        if (!moved.contains(id))
            stay.insert(id);
    }
    stay.seal();
    QList<int> removedOld;             // old indexes, ascending
    QHash<qint64, int> removedAt;      // id -> old index
    QList<QPair<int, qint64>> stayOld; // old index, id
    if (!moved.isEmpty() || !stay.isEmpty()) {
        for (int i = 0; i < before.size(); ++i) {
            const qint64 id = before.at(i);
            if (!moved.isEmpty() && moved.contains(id)) {
                removedOld.append(i);
                removedAt.insert(id, i);
            } else if (!stay.isEmpty() && stay.contains(id)) {
                stayOld.append({i, id});
            }
        }
    }
    // The rows that stay, in place: the list is edited, never copied whole.
    QList<qint64> &kept = observer.lastIds;
    if (!removedOld.isEmpty())
        kept.removeIf([&](qint64 id) { return removedAt.contains(id); });

    const auto keyOf = [&](qint64 id) -> const QVariantList & {
        auto it = keys.constFind(id);
        if (it != keys.constEnd())
            return it.value();
        QVariantList key;
        sqlite::Statement &st = c.db.prepare(shape.keySql);
        st.bind(1, id);
        if (st.step()) {
            for (int i = 0; i < st.columnCount(); ++i)
                key.append(st.column(i));
        }
        st.reset();
        return keys.insert(id, key).value();
    };
    const auto before_ = [&](qint64 a, qint64 b) {
        const QVariantList ka = keyOf(a); // copies: the next look-up may grow the table
        const QVariantList kb = keyOf(b);
        for (int i = 0; i < ka.size() && i < kb.size(); ++i) {
            const int c = compareRaw(ka.at(i), kb.at(i));
            if (c != 0)
                return shape.ascending.value(i, true) ? c < 0 : c > 0;
        }
        return shape.idAscending ? a < b : a > b;
    };
    std::sort(entering.begin(), entering.end(), before_);
    QList<int> gaps; // by entering row: insert before kept[gap]
    int from = 0;
    for (qint64 id : std::as_const(entering)) {
        int lo = from;
        int hi = static_cast<int>(kept.size());
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (before_(id, kept.at(mid)))
                hi = mid;
            else
                lo = mid + 1;
        }
        gaps.append(lo);
        from = lo;
    }

    // Where each row ends: a kept row moves by the rows that left before it
    // and the rows that entered before it.
    QHash<qint64, int> enteredAt; // id -> final index
    for (int m = 0; m < entering.size(); ++m)
        enteredAt.insert(entering.at(m), gaps.at(m) + m);
    const auto gapOfOld = [&](int oldIndex) {
        return oldIndex - static_cast<int>(std::lower_bound(removedOld.begin(), removedOld.end(), oldIndex) -
                                           removedOld.begin());
    };
    QHash<int, int> gapUse; // gap -> rows leaving or entering there
    for (int oldIndex : std::as_const(removedOld))
        ++gapUse[gapOfOld(oldIndex)];
    for (int gap : std::as_const(gaps))
        ++gapUse[gap];
    for (auto it = removedAt.cbegin(); it != removedAt.cend(); ++it) {
        const auto entered = enteredAt.constFind(it.key());
        const int gap = gapOfOld(it.value());
        // A changed row that stays between the same neighbours, alone there, is a modification.
        if (entered != enteredAt.constEnd() && gaps.at(entering.indexOf(it.key())) == gap &&
            gapUse.value(gap) == 2) {
            change.modifications.append(entered.value());
            enteredAt.erase(entered);
        } else {
            change.deletions.append(it.value());
        }
    }
    for (auto it = enteredAt.cbegin(); it != enteredAt.cend(); ++it)
        change.insertions.append(it.value());
    for (const auto &[oldIndex, id] : std::as_const(stayOld)) {
        Q_UNUSED(id)
        const int keptIndex = gapOfOld(oldIndex);
        const int enteredBefore =
            static_cast<int>(std::upper_bound(gaps.begin(), gaps.end(), keptIndex) - gaps.begin());
        change.modifications.append(keptIndex + enteredBefore);
    }
    std::sort(change.deletions.begin(), change.deletions.end());
    std::sort(change.insertions.begin(), change.insertions.end());
    std::sort(change.modifications.begin(), change.modifications.end());

    for (int m = 0; m < entering.size(); ++m)
        kept.insert(gaps.at(m) + m, entering.at(m));
    return !change.isEmpty();
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

} // namespace detail
} // namespace platform
