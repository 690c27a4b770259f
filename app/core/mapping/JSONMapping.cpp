#include "core/mapping/JSONMapping.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/mapping/MCJSONDateTransformer.h"

#include <QSet>

#include <algorithm>
#include <mutex>

using platform::Object;
using platform::ObjectSchema;
using platform::Property;
using platform::Transaction;

namespace {

constexpr int kChunkSize = 100;

struct Declared {
    std::shared_ptr<const ObjectSchema> schema;
    JSONModelMapping mapping;
};

std::mutex g_declaredMutex;
QHash<QString, Declared> &declaredClasses() {
    static QHash<QString, Declared> classes;
    return classes;
}

// The two table caches, each guarded by its own recursive lock held for the
// whole lookup, including the building of a missing table.
struct TableCache {
    std::recursive_mutex lock;
    QHash<QString, QVariantMap> tables;
};
TableCache &inboundCache() {
    static TableCache cache;
    return cache;
}
TableCache &outboundCache() {
    static TableCache cache;
    return cache;
}

std::optional<Declared> declaredFor(const QString &className) {
    std::lock_guard<std::mutex> lock(g_declaredMutex);
    auto it = declaredClasses().constFind(className);
    if (it == declaredClasses().constEnd())
        return std::nullopt;
    return it.value();
}

void diagnostic(const QString &className, const QString &property, const QString &reason) {
    DevLog(QStringLiteral("[mapping] %@.%@ skipped: %@"), className, property, reason);
}

QVariant jsonNull() {
    return QVariant::fromValue(nullptr);
}

// Value at a dotted key path; `found` is false when a component is absent.
QVariant valueForKeyPath(const QVariantMap &json, const QString &keyPath, bool &found) {
    found = false;
    QVariant current = json;
    for (const QString &component : keyPath.split(QLatin1Char('.'))) {
        if (current.typeId() != QMetaType::QVariantMap)
            return {};
        const QVariantMap map = current.toMap();
        auto it = map.constFind(component);
        if (it == map.constEnd())
            return {};
        current = it.value();
    }
    found = true;
    return current;
}

void setValueForKeyPath(QVariantMap &target, const QStringList &components, int index,
                        const QVariant &value) {
    const QString &key = components.at(index);
    if (index + 1 == components.size()) {
        target.insert(key, value);
        return;
    }
    QVariantMap child = target.value(key).toMap();
    setValueForKeyPath(child, components, index + 1, value);
    target.insert(key, child);
}

QString typeName(const QVariant &value) {
    return isNullValue(value) ? QStringLiteral("null") : QString::fromLatin1(value.typeName());
}

bool hasPrimaryKeyValue(const ObjectSchema &schema, const QVariantMap &values) {
    const QString pk = schema.primaryKeyName();
    return pk.isEmpty() || !isNullValue(values.value(pk));
}

// Standalone object from a mapped value dictionary (nested maps become standalone objects).
Object standalone(const ObjectSchema &schema, const QVariantMap &values) {
    Object object = Object::unmanaged(schema);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const Property *p = schema.propertyNamed(it.key());
        if (!p)
            continue;
        QVariant value = it.value();
        const ObjectSchema *target = p->isScalar() ? nullptr : JSONMapping::schemaFor(p->objectClass);
        if (p->isLink() && value.typeId() == QMetaType::QVariantMap && target) {
            value = QVariant::fromValue(standalone(*target, value.toMap()));
        } else if (p->isList() && value.typeId() == QMetaType::QVariantList && target) {
            QList<Object> objects;
            for (const QVariant &item : value.toList()) {
                if (item.typeId() == QMetaType::QVariantMap)
                    objects.append(standalone(*target, item.toMap()));
                else if (item.typeId() == qMetaTypeId<Object>())
                    objects.append(item.value<Object>());
            }
            value = QVariant::fromValue(objects);
        }
        try {
            object.setValue(p->name, value);
        } catch (const platform::StoreError &e) {
            diagnostic(schema.className(), p->name, e.message());
        }
    }
    return object;
}

} // namespace

const ObjectSchema *JSONMapping::schemaFor(const QString &className) {
    {
        std::lock_guard<std::mutex> lock(g_declaredMutex);
        auto it = declaredClasses().constFind(className);
        if (it != declaredClasses().constEnd())
            return it->schema.get();
    }
    return platform::ObjectStore::defaultStore().schemaFor(className);
}

platform::Error JSONMapping::declare(const ObjectSchema &schema, const JSONModelMapping &mapping) {
    auto missing = [&](const QString &property) {
        const platform::Error error(QStringLiteral("NSInternalInconsistencyException"), 0,
                                    platform::format(QStringLiteral("Class %@ does not have property %@"),
                                                     schema.className(), property));
        DevLogger::logError(error, QStringLiteral("JSON mapping declaration refused"));
        return error;
    };
    if (mapping.inbound) {
        for (auto it = mapping.inbound->cbegin(); it != mapping.inbound->cend(); ++it) {
            if (!schema.propertyNamed(it.value().toString()))
                return missing(it.value().toString());
        }
    }
    if (mapping.outbound) {
        for (auto it = mapping.outbound->cbegin(); it != mapping.outbound->cend(); ++it) {
            if (!schema.propertyNamed(it.key()))
                return missing(it.key());
        }
    }
    for (auto it = mapping.transformers.cbegin(); it != mapping.transformers.cend(); ++it) {
        if (!schema.propertyNamed(it.key()))
            return missing(it.key());
    }
    std::lock_guard<std::mutex> lock(g_declaredMutex);
    declaredClasses().insert(schema.className(), {std::make_shared<const ObjectSchema>(schema), mapping});
    return {};
}

QVariantMap JSONMapping::mc_defaultInboundMapping(const QString &className) {
    QVariantMap table;
    if (const ObjectSchema *schema = schemaFor(className)) {
        for (const Property &p : schema->properties())
            table.insert(camelToSnakeCase(p.name), p.name); // a later property with the same form wins
    }
    return table;
}

QVariantMap JSONMapping::mc_defaultOutboundMapping(const QString &className) {
    QVariantMap table;
    if (const ObjectSchema *schema = schemaFor(className)) {
        for (const Property &p : schema->properties())
            table.insert(p.name, camelToSnakeCase(p.name));
    }
    return table;
}

QVariantMap JSONMapping::mc_inboundMapping(const QString &className) {
    TableCache &cache = inboundCache();
    std::lock_guard<std::recursive_mutex> lock(cache.lock);
    auto it = cache.tables.constFind(className);
    if (it != cache.tables.constEnd())
        return it.value();
    const std::optional<Declared> declared = declaredFor(className);
    QVariantMap table = declared && declared->mapping.inbound ? *declared->mapping.inbound
                                                              : mc_defaultInboundMapping(className);
    if (!schemaFor(className))
        return table; // not cached: the class may be declared later
    cache.tables.insert(className, table);
    return table;
}

QVariantMap JSONMapping::mc_outboundMapping(const QString &className) {
    TableCache &cache = outboundCache();
    std::lock_guard<std::recursive_mutex> lock(cache.lock);
    auto it = cache.tables.constFind(className);
    if (it != cache.tables.constEnd())
        return it.value();
    const std::optional<Declared> declared = declaredFor(className);
    QVariantMap table = declared && declared->mapping.outbound ? *declared->mapping.outbound
                                                               : mc_defaultOutboundMapping(className);
    if (!schemaFor(className))
        return table;
    cache.tables.insert(className, table);
    return table;
}

const Property *JSONMapping::mc_propertyForPropertyKey(const QString &className, const QString &propertyKey) {
    const ObjectSchema *schema = schemaFor(className);
    return schema ? schema->propertyNamed(propertyKey) : nullptr;
}

QString JSONMapping::mc_classForPropertyKey(const QString &className, const QString &propertyKey) {
    const Property *p = mc_propertyForPropertyKey(className, propertyKey);
    if (!p)
        return {};
    if (p->isLink())
        return p->objectClass;
    if (p->isList())
        return QStringLiteral("List");
    if (p->type == platform::PropertyType::Date)
        return QStringLiteral("Date");
    return {};
}

ValueTransformerPtr JSONMapping::mc_transformerForPropertyKey(const QString &className,
                                                              const QString &propertyKey) {
    const std::optional<Declared> declared = declaredFor(className);
    if (declared) {
        auto factory = declared->mapping.transformers.constFind(propertyKey);
        if (factory != declared->mapping.transformers.constEnd() && factory.value())
            return factory.value()();
    }
    const Property *p = mc_propertyForPropertyKey(className, propertyKey);
    if (p && p->type == platform::PropertyType::Date) {
        MCJSONDateTransformer::load();
        return ValueTransformer::valueTransformerForName(QString::fromLatin1(MCJSONDateTimeTransformerName));
    }
    return nullptr;
}

std::optional<QVariantMap> JSONMapping::mc_createObjectFromJSONDictionary(const QString &className,
                                                                          const QVariantMap &jsonIn) {
    const ObjectSchema *schema = schemaFor(className);
    if (!schema) {
        diagnostic(className, QStringLiteral("*"), QStringLiteral("class is not declared"));
        return std::nullopt;
    }
    QVariantMap json = jsonIn;
    const std::optional<Declared> declared = declaredFor(className);
    if (declared && declared->mapping.preprocessedJSON) {
        const std::optional<QVariantMap> processed = declared->mapping.preprocessedJSON(jsonIn);
        if (!processed) {
            diagnostic(className, QStringLiteral("*"), QStringLiteral("preprocessedJSON yielded nothing"));
            return std::nullopt;
        }
        json = *processed;
    }

    QVariantMap result;
    const QVariantMap table = mc_inboundMapping(className);
    for (auto entry = table.cbegin(); entry != table.cend(); ++entry) {
        const QString propertyName = entry.value().toString();
        bool found = false;
        QVariant v = valueForKeyPath(json, entry.key(), found);
        if (!found)
            continue;
        const Property *p = schema->propertyNamed(propertyName);
        if (!p) {
            diagnostic(className, propertyName, QStringLiteral("no such property"));
            continue;
        }
        if (const ValueTransformerPtr transformer = mc_transformerForPropertyKey(className, propertyName)) {
            v = transformer->transformedValue(v);
        } else if (p->isLink()) {
            if (isNullValue(v))
                continue; // a null link leaves the stored link as it is
            if (v.typeId() == QMetaType::QVariantMap) {
                const std::optional<QVariantMap> nested =
                    mc_createObjectFromJSONDictionary(p->objectClass, v.toMap());
                const ObjectSchema *target = schemaFor(p->objectClass);
                if (!nested || !target || !hasPrimaryKeyValue(*target, *nested)) {
                    diagnostic(className, propertyName, QStringLiteral("linked object maps to nothing"));
                    continue;
                }
                v = *nested;
            } else if (v.typeId() != qMetaTypeId<Object>()) {
                diagnostic(className, propertyName,
                           QStringLiteral("expected a dictionary, got %1").arg(typeName(v)));
                continue;
            }
        } else if (p->isList()) {
            if (v.typeId() != QMetaType::QVariantList) {
                diagnostic(className, propertyName,
                           QStringLiteral("expected an array, got %1").arg(typeName(v)));
                continue;
            }
            const ObjectSchema *target = schemaFor(p->objectClass);
            QVariantList elements;
            for (const QVariant &item : v.toList()) {
                if (item.typeId() == qMetaTypeId<Object>()) {
                    elements.append(item);
                    continue;
                }
                const std::optional<QVariantMap> nested =
                    item.typeId() == QMetaType::QVariantMap
                        ? mc_createObjectFromJSONDictionary(p->objectClass, item.toMap())
                        : std::nullopt;
                if (!nested || !target || !hasPrimaryKeyValue(*target, *nested)) {
                    diagnostic(
                        className, propertyName,
                        QStringLiteral("array element of type %1 maps to nothing").arg(typeName(item)));
                    continue;
                }
                elements.append(*nested);
            }
            v = elements;
        }

        if (p->isScalar()) {
            QVariant coerced;
            if (!platform::coerceValue(*p, v, coerced)) {
                diagnostic(className, propertyName,
                           QStringLiteral("value of type %1 does not fit").arg(typeName(v)));
                continue;
            }
            if (!p->optional && isNullValue(coerced)) {
                diagnostic(className, propertyName, QStringLiteral("null for a required value"));
                continue;
            }
            v = coerced;
        } else if (p->isLink() && !isNullValue(v) && v.typeId() == qMetaTypeId<Object>() &&
                   v.value<Object>().className() != p->objectClass) {
            diagnostic(className, propertyName, QStringLiteral("object of the wrong class"));
            continue;
        }
        result.insert(propertyName, isNullValue(v) ? QVariant() : v);
    }
    return result;
}

Object JSONMapping::createOrUpdateInRealm(Transaction &tx, const QString &className,
                                          const QVariantMap &jsonDictionary) {
    const std::optional<QVariantMap> values = mc_createObjectFromJSONDictionary(className, jsonDictionary);
    if (!values)
        return {};
    const ObjectSchema *schema = schemaFor(className);
    if (!hasPrimaryKeyValue(*schema, *values)) {
        diagnostic(className, schema->primaryKeyName(),
                   QStringLiteral("no primary key value; nothing stored"));
        return {};
    }
    return tx.createOrUpdate(className, *values);
}

QList<Object> JSONMapping::createOrUpdateInRealm(Transaction &tx, const QString &className,
                                                 const QVariantList &jsonArray) {
    QList<Object> stored;
    stored.reserve(jsonArray.size());
    for (qsizetype start = 0; start < jsonArray.size(); start += kChunkSize) {
        const qsizetype end = std::min<qsizetype>(start + kChunkSize, jsonArray.size());
        for (qsizetype i = start; i < end; ++i) {
            const QVariant &item = jsonArray.at(i);
            // A skipped item leaves a null in its place: result[i] answers jsonArray[i].
            if (item.typeId() != QMetaType::QVariantMap) {
                diagnostic(className, QStringLiteral("*"),
                           QStringLiteral("array item of type %1 is not a dictionary").arg(typeName(item)));
                stored.append(Object());
                continue;
            }
            stored.append(createOrUpdateInRealm(tx, className, item.toMap()));
        }
    }
    return stored;
}

Object JSONMapping::objectInRealm(const platform::ObjectStore &store, const QString &className,
                                  const QVariant &primaryKeyValue) {
    return store.objectForPrimaryKey(className, primaryKeyValue);
}

QVariant JSONMapping::primaryKeyValueFromJSONDictionary(const QString &className, const QVariantMap &json) {
    const ObjectSchema *schema = schemaFor(className);
    if (!schema || schema->primaryKeyName().isEmpty())
        return {};
    const QString pk = schema->primaryKeyName();
    const QVariantMap table = mc_inboundMapping(className);
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it.value().toString() != pk)
            continue;
        bool found = false;
        QVariant value = valueForKeyPath(json, it.key(), found);
        if (!found || isNullValue(value))
            return {};
        if (const ValueTransformerPtr transformer = mc_transformerForPropertyKey(className, pk))
            value = transformer->transformedValue(value);
        return value;
    }
    return {};
}

Object JSONMapping::initWithJSONDictionary(const QString &className, const QVariantMap &json) {
    const ObjectSchema *schema = schemaFor(className);
    const std::optional<QVariantMap> values = mc_createObjectFromJSONDictionary(className, json);
    if (!schema || !values)
        return {};
    return standalone(*schema, *values);
}

QVariant JSONMapping::JSONDictionary(const Object &object) {
    if (object.isNull())
        return {};
    const QString className = object.className();
    const QVariantMap table = mc_outboundMapping(className);
    QVariantMap result;
    for (auto entry = table.cbegin(); entry != table.cend(); ++entry) {
        const Property *p = object.schema().propertyNamed(entry.key());
        const QString keyPath = entry.value().toString();
        if (!p)
            continue;
        QVariant v = object.value(p->name);
        const bool isNil = p->isLink() ? v.value<Object>().isNull() : (!p->isList() && isNullValue(v));
        if (isNil) {
            // Null goes under the key path as it stands ("self" included).
            setValueForKeyPath(result, keyPath.split(QLatin1Char('.')), 0, jsonNull());
            continue;
        }
        if (const ValueTransformerPtr transformer = mc_transformerForPropertyKey(className, p->name)) {
            v = transformer->reverseTransformedValue(v);
        } else if (p->isLink()) {
            v = JSONDictionary(v.value<Object>());
        } else if (p->isList()) {
            QVariantList elements;
            for (const Object &element : v.value<QList<Object>>())
                elements.append(JSONDictionary(element));
            v = elements;
        }
        if (keyPath == QLatin1String("self"))
            return v;
        if (!v.isValid())
            continue; // a transformer that yields nothing leaves the key out
        setValueForKeyPath(result, keyPath.split(QLatin1Char('.')), 0, v);
    }
    return result;
}

QVariant JSONMapping::primaryKeyValue(const Object &object) {
    return object.primaryKeyValue();
}

platform::Error JSONMapping::performInTransaction(const Object &object,
                                                  const std::function<void(Transaction *tx)> &block) {
    if (!object.isManaged()) {
        block(nullptr);
        return {};
    }
    return object.store().write([&](Transaction &tx) { block(&tx); });
}

platform::Error JSONMapping::removeFromRealm(const Object &object) {
    if (!object.isManaged())
        return {};
    return performInTransaction(object, [&](Transaction *tx) { tx->remove(object); });
}

Object JSONMapping::shallowCopy(const Object &object) {
    if (object.isNull())
        return {};
    Object copy = Object::unmanaged(object.schema());
    mergePropertiesFromObject(copy, object);
    return copy;
}

void JSONMapping::mergePropertiesFromObject(const Object &receiver, const Object &other, Transaction *tx) {
    if (receiver.isNull() || other.isNull())
        return;
    auto assign = [&](const QString &name, const QVariant &value) {
        if (receiver.isManaged()) {
            if (!tx)
                throw platform::StoreError(
                    QStringLiteral("Merging into a stored object needs a transaction"));
            receiver.set(*tx, name, value);
        } else {
            receiver.setValue(name, value);
        }
    };
    for (const Property &p : receiver.schema().properties()) {
        if (!other.schema().propertyNamed(p.name))
            continue;
        const QVariant theirs = other.value(p.name);
        if (p.isList()) {
            QList<Object> mine = receiver.value(p.name).value<QList<Object>>();
            mine.append(theirs.value<QList<Object>>());
            assign(p.name, QVariant::fromValue(mine));
        } else if (p.primary) {
            const QString mineText = platform::format(QStringLiteral("%@"), receiver.value(p.name));
            const QString theirText = platform::format(QStringLiteral("%@"), theirs);
            if (mineText != theirText)
                assign(p.name, theirs);
        } else {
            assign(p.name, theirs);
        }
    }
}

Object JSONMapping::deepCopy(const Object &object) {
    if (object.isNull())
        return {};
    Object copy = Object::unmanaged(object.schema());
    for (const Property &p : object.schema().properties()) {
        const QVariant value = object.value(p.name);
        if (p.isList()) {
            QList<Object> elements;
            for (const Object &element : value.value<QList<Object>>())
                elements.append(deepCopy(element));
            copy.setValue(p.name, QVariant::fromValue(elements));
        } else if (p.isLink()) {
            copy.setValue(p.name, QVariant::fromValue(deepCopy(value.value<Object>())));
        } else {
            copy.setValue(p.name, value);
        }
    }
    return copy;
}

platform::Error safeTransactionWithBlock(const platform::ObjectStore &store,
                                         const std::function<void(Transaction &tx)> &block) {
    return store.write(block);
}

Object safeObjectAtIndex(const platform::Results &results, qsizetype index) {
    if (index < 0 || index >= results.count())
        return {};
    return results.at(static_cast<int>(index));
}

QList<Object> array(const platform::Results &results) {
    return results.toList();
}

QVariantList JSONArray(const platform::Results &results) {
    QVariantList out;
    for (const Object &o : results.toList())
        out.append(JSONMapping::JSONDictionary(o));
    return out;
}

QList<Object> NSArray(const platform::List &list) {
    return list.toList();
}

QVariantList JSONArray(const platform::List &list) {
    QVariantList out;
    for (const Object &o : list.toList())
        out.append(JSONMapping::JSONDictionary(o));
    return out;
}

QString camelToSnakeCase(const QString &text) {
    // Runs of upper-case letters separate runs of other characters.
    QStringList lowerRuns;
    QStringList separators; // the upper-case run before each lower run (empty for the first)
    QString pendingUpper;
    QString current;
    bool inLower = false;
    for (const QChar c : text) {
        if (c.isUpper()) {
            if (inLower) {
                lowerRuns.append(current);
                current.clear();
                inLower = false;
            }
            pendingUpper += c;
        } else {
            if (!inLower) {
                separators.append(pendingUpper);
                pendingUpper.clear();
                inLower = true;
            }
            current += c;
        }
    }
    if (inLower)
        lowerRuns.append(current);
    QString out;
    for (int i = 0; i < lowerRuns.size(); ++i) {
        if (i > 0) // a leading upper-case run (i == 0) is dropped, as is a trailing one
            out += QLatin1Char('_') + separators.at(i).left(1).toLower();
        out += lowerRuns.at(i).toLower();
    }
    return out;
}

QString snakeToCamelCase(const QString &text) {
    const QStringList pieces = text.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return {};
    QString out = text.startsWith(QLatin1Char('_')) ? QString() : pieces.first();
    for (int i = text.startsWith(QLatin1Char('_')) ? 0 : 1; i < pieces.size(); ++i)
        out += pieces.at(i).left(1).toUpper() + pieces.at(i).mid(1).toLower();
    return out;
}

IndexSet indexSetFromNumbersArray(const QVariantList &numbers) {
    IndexSet out;
    for (const QVariant &n : numbers)
        out.append(n.toInt());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

static IndexSet toIndexSet(const QList<int> &indexes) {
    QVariantList numbers;
    for (int i : indexes)
        numbers.append(i);
    return indexSetFromNumbersArray(numbers);
}

IndexSet deletionsSet(const platform::CollectionChange &change) {
    return toIndexSet(change.deletions);
}

IndexSet insertionsSet(const platform::CollectionChange &change) {
    return toIndexSet(change.insertions);
}

IndexSet modificationsSet(const platform::CollectionChange &change) {
    return toIndexSet(change.modifications);
}
