#include "core/models/ModelValues.h"

#include "core/DevLog.h"
#include "core/mapping/ValueTransformer.h"

namespace modelvalues {

using platform::Object;
using platform::Property;

bool trySet(const Object &object, platform::Transaction *tx, const QString &property, const QVariant &value) {
    const Property *p = object.schema().propertyNamed(property);
    if (!p)
        return false;
    QVariant stored = isNullValue(value) ? QVariant() : value;
    if (p->isScalar() && stored.isValid()) {
        QVariant coerced;
        if (!platform::coerceValue(*p, stored, coerced)) {
            DevLog(QStringLiteral("[model] %@.%@ skipped: value of type %@ does not fit"), object.className(),
                   property, QString::fromLatin1(value.typeName()));
            return false;
        }
        stored = coerced;
    }
    try {
        if (tx)
            object.set(*tx, property, stored);
        else
            object.setValue(property, stored);
    } catch (const platform::StoreError &e) {
        DevLog(QStringLiteral("[model] %@.%@ skipped: %@"), object.className(), property, e.message());
        return false;
    }
    return true;
}

Object initWithValue(const platform::ObjectSchema &schema, const QVariantMap &values) {
    Object object = Object::unmanaged(schema);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const Property *p = schema.propertyNamed(it.key());
        if (!p)
            continue; // like the database, a dictionary may carry more than the class holds
        QVariant value = it.value();
        if (p->isList() && value.typeId() == QMetaType::QVariantList) {
            QList<Object> objects;
            for (const QVariant &item : value.toList()) {
                if (item.typeId() == qMetaTypeId<Object>())
                    objects.append(item.value<Object>());
            }
            value = QVariant::fromValue(objects);
        }
        trySet(object, nullptr, p->name, value);
    }
    return object;
}

QString text(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toString();
    default:
        return {};
    }
}

std::optional<qint64> integer(const QVariant &value) {
    if (isNullValue(value) || value.typeId() == QMetaType::Bool)
        return std::nullopt;
    platform::Property intProperty;
    intProperty.type = platform::PropertyType::Int;
    QVariant out;
    if (!platform::coerceValue(intProperty, value, out) || !out.isValid())
        return std::nullopt;
    return out.toLongLong();
}

} // namespace modelvalues
