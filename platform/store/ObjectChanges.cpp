// What one commit changed in an observed object, and the values other processes' commits are told by.
#include "platform/store/Notifications.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

#include <QtDebug>

namespace platform {
namespace detail {

QList<QVariantList> StoreCore::snapshotOf(const ObjectObserver &observer) {
    QList<QVariantList> snapshot;
    const auto schema = classes.value(observer.className);
    if (!schema)
        return snapshot;
    try {
        Connection &c = connection();
        const auto rowOf = [&](const ObjectSchema &s, qint64 id, QVariantList &row) {
            sqlite::Statement &st = c.cached(&s, nullptr, Connection::SelectRow, [&] {
                return QStringLiteral("SELECT %1 FROM %2 WHERE _id = ?")
                    .arg(rowColumns(s, QString()), sqlite::quoted(s.className()));
            });
            st.bind(1, id);
            const bool found = st.step();
            if (found) {
                for (int i = 0; i < st.columnCount(); ++i)
                    row.append(st.column(i));
            }
            st.reset();
            return found;
        };
        const auto listOf = [&](const ObjectSchema &s, qint64 id, const Property &p) {
            QVariantList ids;
            sqlite::Statement &st = c.cached(&s, &p, Connection::ReadList, [&] {
                return QStringLiteral("SELECT target FROM %1 WHERE owner = ? ORDER BY pos")
                    .arg(listTable(s.className(), p.name));
            });
            st.bind(1, id);
            while (st.step())
                ids.append(st.columnInt(0));
            return ids;
        };
        QVariantList own;
        if (!rowOf(*schema, observer.rowId, own))
            return snapshot; // gone
        for (const Property &p : schema->properties()) {
            QVariantList values;
            if (observer.keyPaths.isEmpty()) {
                values.append(p.isList() ? QVariant(listOf(*schema, observer.rowId, p))
                                         : own.value(schema->columnOf(p)));
            } else {
                for (const QString &path : observer.keyPaths) {
                    if (path != p.name && !path.startsWith(p.name + QLatin1Char('.')))
                        continue;
                    // The values along the path: each link, then the last value.
                    const ObjectSchema *at = schema.get();
                    QVariantList row = own;
                    qint64 id = observer.rowId;
                    const QStringList components = path.split(QLatin1Char('.'));
                    for (int i = 0; i < components.size(); ++i) {
                        const Property *q = at->propertyNamed(components.at(i));
                        if (!q)
                            break;
                        if (q->isList()) {
                            values.append(QVariant(listOf(*at, id, *q)));
                            break;
                        }
                        const QVariant value = row.value(at->columnOf(*q));
                        values.append(value);
                        if (!q->isLink() || value.isNull() || i + 1 == components.size())
                            break;
                        at = classes.value(q->objectClass).get();
                        id = value.toLongLong();
                        row.clear();
                        if (!rowOf(*at, id, row))
                            break;
                    }
                }
            }
            snapshot.append(values);
        }
    } catch (const StoreError &) {
        snapshot.clear();
        snapshot.append(QVariantList{QStringLiteral("unreadable")});
    }
    return snapshot;
}

bool StoreCore::objectChange(ObjectObserver &observer, const ChangeSet &changes, ObjectChange &change) {
    if (observer.gone)
        return false;
    if (changes.isDeleted(observer.className, observer.rowId)) {
        observer.gone = true;
        change.deleted = true;
        return true;
    }
    const ObjectSchema &schema = *classes.value(observer.className);
    const auto own = changes.classes.constFind(observer.className);
    const QSet<QString> direct =
        own != changes.classes.constEnd() ? own->modified.value(observer.rowId) : QSet<QString>();
    const Object object = makeObject(observer.className, observer.rowId);

    // Whether anything along `path` changed in this batch.
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

    // Another process's commit says nothing of what it changed: compare what
    // was last seen with what is stored now.
    const QList<QVariantList> seen = observer.snapshot;
    observer.snapshot = snapshotOf(observer);
    if (changes.outside && observer.snapshot.isEmpty()) {
        observer.gone = true;
        change.deleted = true;
        return true;
    }

    for (int i = 0; i < schema.properties().size(); ++i) {
        const Property &p = schema.properties().at(i);
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
        if (!changed && changes.outside && i < seen.size() && i < observer.snapshot.size())
            changed = seen.at(i) != observer.snapshot.at(i);
        if (changed)
            change.properties.append(p.name);
    }
    return !change.properties.isEmpty();
}

} // namespace detail
} // namespace platform
