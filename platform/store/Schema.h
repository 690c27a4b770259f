#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace platform {

enum class PropertyType { Int, Bool, Float, Double, String, Data, Date, Object, List };

// One persisted property. Object and List name the linked class in objectClass.
struct Property {
    QString name;
    PropertyType type = PropertyType::String;
    bool optional = true;
    bool primary = false;
    bool indexed = false; // an index speeds up sorting and filtering on it
    // Text kept folded (case and diacritics) in a trigram index, so that the
    // default contains()/beginsWith() finds it without reading every row.
    bool searchable = false;
    QString objectClass;
    QVariant defaultValue; // applied when a new object is created without this property

    bool isLink() const { return type == PropertyType::Object; }
    bool isList() const { return type == PropertyType::List; }
    bool isScalar() const { return !isLink() && !isList(); }
};

// Declaration of one persisted class, built once per class:
//
//   platform::ObjectSchema QVAuthProfile::schema() {
//       return platform::ObjectSchema("QVAuthProfile")
//           .primaryKey("idProfile", platform::PropertyType::Int)
//           .property("userName", platform::PropertyType::String)
//           .property("isVerify", platform::PropertyType::Bool)
//           .required("quality", platform::PropertyType::Int, 0)
//           .link("languageFrom", "QVLanguageRealm")
//           .list("recentlyLanguages", "QVLanguageRealm")
//           .indexed("userName")
//           .searchable("userName");
//   }
//
// Properties are optional unless declared with required(); links are always
// optional; lists are never null (empty when unset). A subclass copies its
// base's properties with inherit() and then adds its own.
class ObjectSchema {
public:
    ObjectSchema() = default;
    explicit ObjectSchema(QString className);

    ObjectSchema &inherit(const ObjectSchema &base);
    ObjectSchema &primaryKey(const QString &name, PropertyType type);
    ObjectSchema &property(const QString &name, PropertyType type, const QVariant &defaultValue = {});
    ObjectSchema &required(const QString &name, PropertyType type, const QVariant &defaultValue = {});
    ObjectSchema &link(const QString &name, const QString &objectClass);
    ObjectSchema &list(const QString &name, const QString &objectClass);
    ObjectSchema &indexed(const QString &name);    // a property declared before
    ObjectSchema &searchable(const QString &name); // a text property declared before

    const QString &className() const { return m_className; }
    const QList<Property> &properties() const { return m_properties; } // declaration order
    const Property *propertyNamed(const QString &name) const;
    qsizetype indexOf(const QString &name) const; // position in properties(), -1 when absent
    const Property *primaryKeyProperty() const;
    QString primaryKeyName() const;
    bool hasSearchable() const;
    // Position of the property's value in a stored row (lists have none: -1).
    int columnOf(const Property &property) const;

private:
    ObjectSchema &add(Property property);

    QString m_className;
    QList<Property> m_properties;
    QHash<QString, qsizetype> m_index; // name -> position in m_properties
    QList<int> m_columns;              // position in m_properties -> stored column, -1 for lists
};

// Turns a value into the form stored for the property's type. Numbers and
// booleans convert between each other, numeric text ("5", "true") to numbers
// and numbers to text; other text, lists and maps fit no scalar. Returns false
// (and leaves out untouched) when the value does not fit.
bool coerceValue(const Property &property, const QVariant &value, QVariant &out);

QString propertyTypeName(PropertyType type);

} // namespace platform
