#pragma once

#include "core/mapping/ValueTransformer.h"

#include "platform/Error.h"
#include "platform/store/Store.h"

#include <QHash>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <type_traits>

// What one model class declares for the JSON mapping. Everything is optional;
// a class without tables reads and writes the snake-case form of each
// persisted property name ("idTranslation" <-> "id_translation").
struct JSONModelMapping {
    std::optional<QVariantMap> inbound; // JSONInboundMappingDictionary: JSON key path -> property
    std::optional<QVariantMap>
        outbound; // JSONOutboundMappingDictionary: property -> JSON key path ("self": the value alone)
    // preprocessedJSON: the dictionary to map instead; nothing means "store nothing".
    std::function<std::optional<QVariantMap>(const QVariantMap &json)> preprocessedJSON;
    // "<property>JSONTransformer": property -> factory of its transformer.
    QHash<QString, std::function<ValueTransformerPtr()>> transformers;
};

// Creates or updates stored objects from JSON dictionaries and arrays and turns
// them back into JSON, driven by each class's declaration and tables.
//
// A model declares its mapping once at start-up, next to its schema:
//
//   class QVAuthProfile : public platform::Object {
//   public:
//       QV_STORE_MODEL(QVAuthProfile)
//       static platform::ObjectSchema schema();
//       static QVariantMap JSONInboundMappingDictionary() {
//           return {{"id", "idProfile"}, {"username", "userName"}, {"email", "email"}};
//       }
//       // optional too: JSONOutboundMappingDictionary(), preprocessedJSON(json), JSONTransformers()
//   };
//   JSONMapping::declare<QVAuthProfile>();   // checks the tables against the schema
//
// and imports inside a write transaction:
//
//   store.write([&](platform::Transaction &tx) {
//       platform::Object profile = JSONMapping::createOrUpdateInRealm(tx, "QVAuthProfile",
//       reply["user"].toMap());
//   });
//
// Values that do not fit their property (a text for a number, null for a
// required value, a number where a list belongs) are skipped with a
// diagnostic line; they never fail or half-write the transaction.
class JSONMapping {
public:
    // Checks every table entry and transformer against the schema: a table that
    // names a missing property is refused here (error "Class %@ does not have
    // property %@") rather than failing later during an import.
    static platform::Error declare(const platform::ObjectSchema &schema,
                                   const JSONModelMapping &mapping = {});

    template <typename T> static platform::Error declare();

    // Inbound (must run inside a write transaction). The result has one entry
    // per array item, in order: null where an item stored nothing.
    static QList<platform::Object> createOrUpdateInRealm(platform::Transaction &tx, const QString &className,
                                                         const QVariantList &jsonArray);
    // Null when the dictionary maps to nothing (hook yielded nothing, primary key missing).
    static platform::Object createOrUpdateInRealm(platform::Transaction &tx, const QString &className,
                                                  const QVariantMap &jsonDictionary);
    static platform::Object objectInRealm(const platform::ObjectStore &store, const QString &className,
                                          const QVariant &primaryKeyValue);
    static QVariant primaryKeyValueFromJSONDictionary(const QString &className, const QVariantMap &json);
    // The mapped value dictionary, or nothing when the hook yields nothing.
    static std::optional<QVariantMap> mc_createObjectFromJSONDictionary(const QString &className,
                                                                        const QVariantMap &json);

    static QVariantMap mc_inboundMapping(const QString &className);
    static QVariantMap mc_outboundMapping(const QString &className);
    static QVariantMap mc_defaultInboundMapping(const QString &className);
    static QVariantMap mc_defaultOutboundMapping(const QString &className);
    static const platform::Property *mc_propertyForPropertyKey(const QString &className,
                                                               const QString &propertyKey);
    // The linked class for a link, "List" for a list, "Date" for a date, else empty.
    static QString mc_classForPropertyKey(const QString &className, const QString &propertyKey);
    static ValueTransformerPtr mc_transformerForPropertyKey(const QString &className,
                                                            const QString &propertyKey);

    // Instance operations.
    static platform::Object initWithJSONDictionary(const QString &className,
                                                   const QVariantMap &json); // standalone
    // The outbound mapping: usually a QVariantMap (null values as QVariant(nullptr)).
    static QVariant JSONDictionary(const platform::Object &object);
    static QVariant primaryKeyValue(const platform::Object &object);
    // Runs the block in a write transaction of the object's store (joining an
    // open one); for a standalone object it runs with no transaction (null).
    static platform::Error performInTransaction(const platform::Object &object,
                                                const std::function<void(platform::Transaction *tx)> &block);
    static platform::Error removeFromRealm(const platform::Object &object);
    static platform::Object shallowCopy(const platform::Object &object);
    static platform::Object deepCopy(const platform::Object &object);
    // tx is needed when the receiver is stored, ignored when it is standalone.
    static void mergePropertiesFromObject(const platform::Object &receiver, const platform::Object &other,
                                          platform::Transaction *tx = nullptr);

    // The schema the mapping uses for a class: its declaration, else the default store's.
    static const platform::ObjectSchema *schemaFor(const QString &className);

private:
    template <typename T, typename = void> struct HasInbound : std::false_type {};
    template <typename T>
    struct HasInbound<T, std::void_t<decltype(T::JSONInboundMappingDictionary())>> : std::true_type {};
    template <typename T, typename = void> struct HasOutbound : std::false_type {};
    template <typename T>
    struct HasOutbound<T, std::void_t<decltype(T::JSONOutboundMappingDictionary())>> : std::true_type {};
    template <typename T, typename = void> struct HasHook : std::false_type {};
    template <typename T>
    struct HasHook<T, std::void_t<decltype(T::preprocessedJSON(std::declval<QVariantMap>()))>>
        : std::true_type {};
    template <typename T, typename = void> struct HasTransformers : std::false_type {};
    template <typename T>
    struct HasTransformers<T, std::void_t<decltype(T::JSONTransformers())>> : std::true_type {};
};

template <typename T> platform::Error JSONMapping::declare() {
    JSONModelMapping mapping;
    if constexpr (HasInbound<T>::value)
        mapping.inbound = T::JSONInboundMappingDictionary();
    if constexpr (HasOutbound<T>::value)
        mapping.outbound = T::JSONOutboundMappingDictionary();
    if constexpr (HasHook<T>::value)
        mapping.preprocessedJSON = [](const QVariantMap &json) -> std::optional<QVariantMap> {
            return T::preprocessedJSON(json);
        };
    if constexpr (HasTransformers<T>::value)
        mapping.transformers = T::JSONTransformers();
    return declare(T::schema(), mapping);
}

// Runs the block in a write transaction, joining one that
// is already open on this thread (the opener commits).
platform::Error safeTransactionWithBlock(const platform::ObjectStore &store,
                                         const std::function<void(platform::Transaction &tx)> &block);

// Reading results and lists by index and as JSON.
platform::Object safeObjectAtIndex(const platform::Results &results, qsizetype index);
QList<platform::Object> array(const platform::Results &results);
QVariantList JSONArray(const platform::Results &results);
QList<platform::Object> NSArray(const platform::List &list);
QVariantList JSONArray(const platform::List &list);

// Case conversion: "idTranslation" -> "id_translation", "isRTL" -> "is",
// "messageUUID" -> "message"; "user_id" -> "userId".
QString camelToSnakeCase(const QString &text);
QString snakeToCamelCase(const QString &text);

// Index sets of a collection change: ascending, without duplicates.
using IndexSet = QList<int>;
IndexSet indexSetFromNumbersArray(const QVariantList &numbers);
IndexSet deletionsSet(const platform::CollectionChange &change);
IndexSet insertionsSet(const platform::CollectionChange &change);
IndexSet modificationsSet(const platform::CollectionChange &change);
