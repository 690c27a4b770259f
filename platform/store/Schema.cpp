#include "platform/store/Schema.h"

#include "platform/store/StoreError.h"

#include <QDateTime>

#include <functional>

namespace platform {

ObjectSchema::ObjectSchema(QString className) : m_className(std::move(className)) {}

ObjectSchema &ObjectSchema::inherit(const ObjectSchema &base) {
    for (const Property &p : base.properties())
        add(p);
    return *this;
}

ObjectSchema &ObjectSchema::primaryKey(const QString &name, PropertyType type) {
    if (type != PropertyType::Int && type != PropertyType::String)
        throw StoreError(
            QStringLiteral("Primary key %1.%2 must be an integer or a string").arg(m_className, name));
    if (const Property *existing = primaryKeyProperty())
        throw StoreError(
            QStringLiteral("Class %1 already has primary key %2").arg(m_className, existing->name));
    Property p;
    p.name = name;
    p.type = type;
    p.primary = true;
    // An inherited property of the same name becomes the key.
    for (Property &q : m_properties) {
        if (q.name == name) {
            q = p;
            return *this;
        }
    }
    return add(p);
}

ObjectSchema &ObjectSchema::property(const QString &name, PropertyType type, const QVariant &defaultValue) {
    if (type == PropertyType::Object || type == PropertyType::List)
        throw StoreError(QStringLiteral("Use link() or list() for %1.%2").arg(m_className, name));
    Property p;
    p.name = name;
    p.type = type;
    p.defaultValue = defaultValue;
    return add(p);
}

ObjectSchema &ObjectSchema::required(const QString &name, PropertyType type, const QVariant &defaultValue) {
    property(name, type, defaultValue);
    m_properties.last().optional = false;
    return *this;
}

ObjectSchema &ObjectSchema::link(const QString &name, const QString &objectClass) {
    Property p;
    p.name = name;
    p.type = PropertyType::Object;
    p.objectClass = objectClass;
    return add(p);
}

ObjectSchema &ObjectSchema::list(const QString &name, const QString &objectClass) {
    Property p;
    p.name = name;
    p.type = PropertyType::List;
    p.optional = false;
    p.objectClass = objectClass;
    return add(p);
}

ObjectSchema &ObjectSchema::indexed(const QString &name) {
    for (Property &p : m_properties) {
        if (p.name == name && p.isScalar()) {
            p.indexed = true;
            return *this;
        }
    }
    throw StoreError(QStringLiteral("%1 has no scalar property %2 to index").arg(m_className, name));
}

ObjectSchema &ObjectSchema::searchable(const QString &name) {
    for (Property &p : m_properties) {
        if (p.name == name && p.type == PropertyType::String) {
            p.searchable = true;
            return *this;
        }
    }
    throw StoreError(QStringLiteral("%1 has no text property %2 to search").arg(m_className, name));
}

bool ObjectSchema::hasSearchable() const {
    for (const Property &p : m_properties) {
        if (p.searchable)
            return true;
    }
    return false;
}

int ObjectSchema::columnOf(const Property &property) const {
    const Property *begin = m_properties.constData();
    const Property *end = begin + m_properties.size();
    if (!std::less<const Property *>()(&property, begin) && std::less<const Property *>()(&property, end))
        return m_columns.at(&property - begin);
    const qsizetype named = indexOf(property.name);
    return named < 0 ? -1 : m_columns.at(named);
}

ObjectSchema &ObjectSchema::add(Property property) {
    if (property.name.isEmpty() || property.name.startsWith(QLatin1Char('_')) ||
        property.name.contains(QLatin1Char('.')) || property.name.contains(QLatin1Char('"')) ||
        property.name.contains(QLatin1Char('$')))
        throw StoreError(QStringLiteral("Invalid property name '%1' in %2").arg(property.name, m_className));
    if (propertyNamed(property.name))
        throw StoreError(QStringLiteral("Class %1 declares %2 twice").arg(m_className, property.name));
    if (property.defaultValue.isValid()) {
        QVariant coerced;
        if (!coerceValue(property, property.defaultValue, coerced))
            throw StoreError(
                QStringLiteral("Default of %1.%2 does not fit its type").arg(m_className, property.name));
        property.defaultValue = coerced;
    }
    int column = -1;
    if (!property.isList()) {
        column = 0;
        for (int c : std::as_const(m_columns))
            column = std::max(column, c + 1);
    }
    m_index.insert(property.name, m_properties.size());
    m_columns.append(column);
    m_properties.append(std::move(property));
    return *this;
}

const Property *ObjectSchema::propertyNamed(const QString &name) const {
    auto it = m_index.constFind(name);
    return it == m_index.constEnd() ? nullptr : &m_properties.at(it.value());
}

qsizetype ObjectSchema::indexOf(const QString &name) const {
    return m_index.value(name, -1);
}

const Property *ObjectSchema::primaryKeyProperty() const {
    for (const Property &p : m_properties) {
        if (p.primary)
            return &p;
    }
    return nullptr;
}

QString ObjectSchema::primaryKeyName() const {
    const Property *p = primaryKeyProperty();
    return p ? p->name : QString();
}

static bool isNumeric(const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool coerceValue(const Property &property, const QVariant &value, QVariant &out) {
    if (value.isNull() && value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray) {
        out = QVariant();
        return true;
    }
    bool ok = false;
    switch (property.type) {
    case PropertyType::Int: {
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            const double d = value.toDouble();
            // Out of range (or NaN) the conversion itself would be undefined.
            if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) ||
                d != static_cast<double>(static_cast<qint64>(d)))
                return false;
            out = QVariant::fromValue<qint64>(static_cast<qint64>(d));
            return true;
        }
        if (isNumeric(value) || value.typeId() == QMetaType::QString) {
            const qint64 n = value.toLongLong(&ok);
            if (!ok)
                return false;
            out = QVariant::fromValue<qint64>(n);
            return true;
        }
        return false;
    }
    case PropertyType::Bool:
        if (isNumeric(value)) {
            out = QVariant(value.toDouble() != 0);
            return true;
        }
        if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed().toLower();
            if (s == QLatin1String("true") || s == QLatin1String("yes") || s == QLatin1String("1"))
                out = QVariant(true);
            else if (s == QLatin1String("false") || s == QLatin1String("no") || s == QLatin1String("0"))
                out = QVariant(false);
            else
                return false;
            return true;
        }
        return false;
    case PropertyType::Float:
    case PropertyType::Double: {
        if (!isNumeric(value) && value.typeId() != QMetaType::QString)
            return false;
        const double d = value.toDouble(&ok);
        if (!ok)
            return false;
        out = property.type == PropertyType::Float ? QVariant(static_cast<float>(d)) : QVariant(d);
        return true;
    }
    case PropertyType::String:
        if (value.typeId() == QMetaType::QString) {
            out = value;
            return true;
        }
        if (value.typeId() == QMetaType::QByteArray) {
            out = QString::fromUtf8(value.toByteArray());
            return true;
        }
        if (isNumeric(value) && value.typeId() != QMetaType::Bool) {
            out = value.toString();
            return true;
        }
        return false;
    case PropertyType::Data:
        if (value.typeId() == QMetaType::QByteArray) {
            out = value;
            return true;
        }
        return false;
    case PropertyType::Date:
        if (value.typeId() == QMetaType::QDateTime) {
            if (!value.toDateTime().isValid())
                return false;
            out = value;
            return true;
        }
        return false;
    case PropertyType::Object:
    case PropertyType::List:
        return false;
    }
    return false;
}

QString propertyTypeName(PropertyType type) {
    switch (type) {
    case PropertyType::Int:
        return QStringLiteral("int");
    case PropertyType::Bool:
        return QStringLiteral("bool");
    case PropertyType::Float:
        return QStringLiteral("float");
    case PropertyType::Double:
        return QStringLiteral("double");
    case PropertyType::String:
        return QStringLiteral("string");
    case PropertyType::Data:
        return QStringLiteral("data");
    case PropertyType::Date:
        return QStringLiteral("date");
    case PropertyType::Object:
        return QStringLiteral("object");
    case PropertyType::List:
        return QStringLiteral("list");
    }
    return {};
}

} // namespace platform
