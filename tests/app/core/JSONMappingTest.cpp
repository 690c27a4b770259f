#include "MappingTestSchema.h"

#include <QJsonDocument>

#include <thread>

using namespace platform;
using namespace mappingtest;

namespace {
QVariantMap json(const char *text) {
    return QJsonDocument::fromJson(QByteArray(text)).toVariant().toMap();
}
QVariantList jsonArray(const QByteArray &text) {
    return QJsonDocument::fromJson(text).toVariant().toList();
}
} // namespace

using JSONMappingImport = MappingTest;

TEST_F(JSONMappingImport, ArraysStoreEveryItemInInputOrderAndAnEmptyArrayStoresNothing) {
    write([&](Transaction &tx) {
        EXPECT_TRUE(
            JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MTranslation"), QVariantList()).isEmpty());
    });
    EXPECT_EQ(count("MTranslation"), 0);

    QVariantList items;
    for (int i = 0; i < 250; ++i) // descending keys, so input order differs from key order
        items.append(QVariantMap{{QStringLiteral("id_translation"), 1000 - i},
                                 {QStringLiteral("original_text"), QStringLiteral("t%1").arg(i)}});
    QList<Object> stored;
    write([&](Transaction &tx) {
        stored = JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MTranslation"), items);
    });
    ASSERT_EQ(stored.size(), 250);
    for (int i = 0; i < 250; ++i)
        ASSERT_EQ(stored.at(i).value(QStringLiteral("idTranslation")).toLongLong(), 1000 - i) << i;
    EXPECT_EQ(count("MTranslation"), 250);

    // A second import updates in place.
    items[0] = QVariantMap{{QStringLiteral("id_translation"), 1000}, {QStringLiteral("is_favorite"), true}};
    write([&](Transaction &tx) {
        stored = JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MTranslation"), items);
    });
    EXPECT_EQ(count("MTranslation"), 250);
    const Object first = store.objectForPrimaryKey(QStringLiteral("MTranslation"), 1000);
    EXPECT_EQ(first.value(QStringLiteral("isFavorite")), QVariant(true));
    EXPECT_EQ(first.value(QStringLiteral("originalText")).toString(),
              QStringLiteral("t0")); // absent key: unchanged
}

TEST_F(JSONMappingImport, ASkippedArrayItemLeavesANullInItsPlace) {
    struct Case {
        const char *name;
        QByteArray json;
        QList<qint64> expected; // stored key per position, 0 for a null
    };
    const QList<Case> cases = {
        {"not a dictionary first", R"([7, {"id_translation": 1}, {"id_translation": 2}])", {0, 1, 2}},
        {"null between", R"([{"id_translation": 3}, null, {"id_translation": 4}])", {3, 0, 4}},
        {"no primary key last", R"([{"id_translation": 5}, {"original_text": "x"}])", {5, 0}},
        {"nothing stored", R"(["a", [], {}])", {0, 0, 0}},
        // Past one chunk of 100: positions hold across chunks.
        {"across chunks", "[" + QByteArray("{},").repeated(120) + R"({"id_translation": 6}])",
         QList<qint64>(120, 0) << 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<Object> stored;
        write([&](Transaction &tx) {
            stored = JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MTranslation"), jsonArray(c.json));
        });
        ASSERT_EQ(stored.size(), c.expected.size());
        for (int i = 0; i < stored.size(); ++i) {
            if (c.expected.at(i) == 0)
                EXPECT_TRUE(stored.at(i).isNull()) << i;
            else
                EXPECT_EQ(stored.at(i).value(QStringLiteral("idTranslation")).toLongLong(), c.expected.at(i)) << i;
        }
    }
}

TEST_F(JSONMappingImport, ExplicitNullIsStoredButANullLinkLeavesTheLinkAlone) {
    write([&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(
            tx, QStringLiteral("MTranslation"),
            json(R"({"id_translation": 1, "original_text": "a", "is_favorite": true,
                                                    "language_from": {"code": "en_GB"}})"));
    });
    write([&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(
            tx, QStringLiteral("MTranslation"),
            json(R"({"id_translation": 1, "original_text": null, "language_from": null})"));
    });
    const Object t = store.objectForPrimaryKey(QStringLiteral("MTranslation"), 1);
    EXPECT_FALSE(t.value(QStringLiteral("originalText")).isValid());
    EXPECT_EQ(t.value(QStringLiteral("isFavorite")), QVariant(true));
    EXPECT_EQ(t.link(QStringLiteral("languageFrom")).value(QStringLiteral("localeIdentifier")).toString(),
              QStringLiteral("en_GB"));
}

TEST_F(JSONMappingImport, NestedObjectsUseTheirOwnTablesAndHooksAndListsKeepOrder) {
    const QVariantMap english = json(R"({"code": "en_GB", "names": {"english": "English"},
        "modes": {"Translation": true, "SiteTranslate": false},
        "voices": [{"identifier": "b", "quality": 2}, {"identifier": "a", "quality": 1}]})");
    write([&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MLanguage"), english);
    });
    const Object en = store.objectForPrimaryKey(QStringLiteral("MLanguage"), QStringLiteral("en_GB"));
    EXPECT_EQ(en.value(QStringLiteral("languageName")).toString(), QStringLiteral("English"));
    const Object modes = en.link(QStringLiteral("languageModes"));
    EXPECT_EQ(modes.value(QStringLiteral("translation")), QVariant(true));
    EXPECT_EQ(modes.value(QStringLiteral("source")).toString(),
              QStringLiteral("hooked")); // the nested class's hook ran
    ASSERT_EQ(en.list(QStringLiteral("voices")).size(), 2);
    EXPECT_EQ(en.list(QStringLiteral("voices")).at(0).value(QStringLiteral("identifier")).toString(),
              QStringLiteral("b"));

    // Re-import: the replaced flag object (no primary key) is not left behind.
    write([&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MLanguage"), english);
    });
    EXPECT_EQ(count("MLanguage"), 1);
    EXPECT_EQ(count("MMode"), 1);
    EXPECT_EQ(count("MVoice"), 2);
}

TEST_F(JSONMappingImport, BadValuesAreSkippedWithoutFailingTheTransaction) {
    const Error error = store.write([&](Transaction &tx) {
        // A number as text is coerced; a word for a number, an object for a string,
        // a string for a list and list elements that are not dictionaries are skipped.
        const Object t = JSONMapping::createOrUpdateInRealm(
            tx, QStringLiteral("MTranslation"),
            json(R"({"id_translation": "5", "learn_count": "many", "original_text": {"x": 1},
                     "is_favorite": 1, "tags": [{"identifier": "v", "quality": 3}, 7, "x", {"quality": 1}],
                     "language_from": "en_GB"})"));
        ASSERT_FALSE(t.isNull());
        EXPECT_EQ(t.value(QStringLiteral("idTranslation")).toLongLong(), 5);
        EXPECT_FALSE(t.value(QStringLiteral("learnCount")).isValid());
        EXPECT_FALSE(t.value(QStringLiteral("originalText")).isValid());
        EXPECT_EQ(t.value(QStringLiteral("isFavorite")), QVariant(true));
        EXPECT_EQ(t.list(QStringLiteral("tags")).size(), 1);
        EXPECT_TRUE(t.link(QStringLiteral("languageFrom")).isNull());

        // Null for a required value is skipped: the voice takes its default.
        const Object v = JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MVoice"),
                                                            json(R"({"identifier": "w", "quality": null})"));
        EXPECT_EQ(v.value(QStringLiteral("quality")).toLongLong(), 0);

        // No primary key, or a hook that yields nothing: nothing stored.
        EXPECT_TRUE(JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MTranslation"),
                                                       json(R"({"original_text": "x"})"))
                        .isNull());
        EXPECT_TRUE(JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MLanguage"),
                                                       json(R"({"code": "xx", "hidden": true})"))
                        .isNull());
        const QList<Object> some = JSONMapping::createOrUpdateInRealm(
            tx, QStringLiteral("MLanguage"),
            jsonArray(R"([{"code": "de_DE"}, 3, {"code": "yy", "hidden": true}, null])"));
        EXPECT_EQ(some.size(), 4);
    });
    EXPECT_FALSE(error) << error.localizedDescription().toStdString();
    EXPECT_EQ(count("MTranslation"), 1);
    EXPECT_EQ(count("MLanguage"), 1);
    EXPECT_EQ(count("MVoice"), 2);
}

TEST(JSONMappingDeclaration, ATableNamingAMissingPropertyIsRefusedWhenDeclared) {
    JSONModelMapping bad;
    bad.inbound = QVariantMap{{QStringLiteral("id"), QStringLiteral("idProfle")}};
    const Error error = JSONMapping::declare(
        ObjectSchema(QStringLiteral("DeclBad")).primaryKey(QStringLiteral("idProfile"), PropertyType::Int),
        bad);
    ASSERT_TRUE(error);
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("Class DeclBad does not have property idProfle"));

    JSONModelMapping badOut;
    badOut.outbound = QVariantMap{{QStringLiteral("nope"), QStringLiteral("x")}};
    EXPECT_TRUE(JSONMapping::declare(ObjectSchema(QStringLiteral("DeclBad2")), badOut));
    JSONModelMapping badTransformer;
    badTransformer.transformers.insert(QStringLiteral("nope"), [] { return ValueTransformerPtr(); });
    EXPECT_TRUE(JSONMapping::declare(ObjectSchema(QStringLiteral("DeclBad3")), badTransformer));
}

TEST(JSONMappingNames, CamelToSnakeCaseFollowsTheExactRules) {
    EXPECT_EQ(camelToSnakeCase(QStringLiteral("idTranslation")), QStringLiteral("id_translation"));
    EXPECT_EQ(camelToSnakeCase(QStringLiteral("isRTL")), QStringLiteral("is"));
    EXPECT_EQ(camelToSnakeCase(QStringLiteral("messageUUID")), QStringLiteral("message"));
    EXPECT_EQ(camelToSnakeCase(QStringLiteral("transliterationOriginalText")),
              QStringLiteral("transliteration_original_text"));
    EXPECT_EQ(camelToSnakeCase(QStringLiteral("voiceIDMac")),
              QStringLiteral("voice_iac")); // only the run's first letter stays
    EXPECT_EQ(camelToSnakeCase(QStringLiteral("URLString")), QStringLiteral("tring"));
    EXPECT_EQ(camelToSnakeCase(QStringLiteral("word")), QStringLiteral("word"));
    EXPECT_EQ(camelToSnakeCase(QString()), QString());
    EXPECT_EQ(snakeToCamelCase(QStringLiteral("user_id")), QStringLiteral("userId"));
    EXPECT_EQ(snakeToCamelCase(QStringLiteral("created__AT_date")), QStringLiteral("createdAtDate"));
}

using JSONMappingOutbound = MappingTest;

TEST_F(JSONMappingOutbound, DefaultAndDeclaredTablesWriteJSONWithNullsAndKeyPaths) {
    write([&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MTranslation"),
                                           json(R"({"id_translation": 9, "original_text": "hi",
                                                    "language_from": {"code": "en_GB", "names": {"english": "English"},
                                                                      "modes": {"Translation": true}}})"));
    });
    const QVariantMap out =
        JSONMapping::JSONDictionary(store.objectForPrimaryKey(QStringLiteral("MTranslation"), 9)).toMap();
    EXPECT_EQ(out.value(QStringLiteral("id_translation")).toLongLong(), 9);
    EXPECT_EQ(out.value(QStringLiteral("original_text")).toString(), QStringLiteral("hi"));
    ASSERT_TRUE(out.contains(QStringLiteral("is_favorite")));
    EXPECT_EQ(out.value(QStringLiteral("is_favorite")).typeId(), QMetaType::Nullptr);
    EXPECT_EQ(out.value(QStringLiteral("tags")).toList().size(), 0);
    const QVariantMap language = out.value(QStringLiteral("language_from")).toMap();
    EXPECT_EQ(language.value(QStringLiteral("code")).toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(language.value(QStringLiteral("names")).toMap().value(QStringLiteral("english")).toString(),
              QStringLiteral("English"));
    EXPECT_EQ(language.value(QStringLiteral("modes")).toMap().value(QStringLiteral("translation")),
              QVariant(true));
    EXPECT_EQ(JSONArray(store.objects(QStringLiteral("MTranslation"))).size(), 1);

    JSONModelMapping selfOnly;
    selfOnly.outbound = QVariantMap{{QStringLiteral("quality"), QStringLiteral("self")}};
    ASSERT_FALSE(JSONMapping::declare(
        ObjectSchema(QStringLiteral("SelfVoice")).required(QStringLiteral("quality"), PropertyType::Int),
        selfOnly));
    const Object standaloneVoice = Object::unmanaged(
        ObjectSchema(QStringLiteral("SelfVoice")).required(QStringLiteral("quality"), PropertyType::Int),
        {{QStringLiteral("quality"), 4}});
    EXPECT_EQ(JSONMapping::JSONDictionary(standaloneVoice).toLongLong(), 4);
}

using JSONMappingObjects = MappingTest;

TEST_F(JSONMappingObjects, PrimaryKeyLookupAndSafeIndex) {
    EXPECT_EQ(JSONMapping::primaryKeyValueFromJSONDictionary(QStringLiteral("MLanguage"),
                                                             json(R"({"code": "en_GB"})"))
                  .toString(),
              QStringLiteral("en_GB"));
    EXPECT_FALSE(JSONMapping::primaryKeyValueFromJSONDictionary(QStringLiteral("MMode"),
                                                                json(R"({"Translation": true})"))
                     .isValid());
    write([&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MLanguage"),
                                           jsonArray(R"([{"code": "a"}, {"code": "b"}])"));
    });
    EXPECT_EQ(JSONMapping::primaryKeyValue(
                  JSONMapping::objectInRealm(store, QStringLiteral("MLanguage"), QStringLiteral("b")))
                  .toString(),
              QStringLiteral("b"));
    EXPECT_TRUE(JSONMapping::objectInRealm(store, QStringLiteral("MLanguage"), QStringLiteral("c")).isNull());
    const Results all = store.objects(QStringLiteral("MLanguage"));
    EXPECT_TRUE(safeObjectAtIndex(all, 2).isNull());
    EXPECT_EQ(safeObjectAtIndex(all, 1).value(QStringLiteral("localeIdentifier")).toString(),
              QStringLiteral("b"));
    EXPECT_TRUE(safeObjectAtIndex(all, -1).isNull());
    EXPECT_EQ(array(all).size(), 2);
}

TEST_F(JSONMappingObjects, SafeTransactionJoinsAnOpenOneAndCommitsOnlyWithIt) {
    int seenInside = -1;
    write([&](Transaction &) {
        EXPECT_FALSE(safeTransactionWithBlock(store, [&](Transaction &tx) {
            JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MLanguage"), json(R"({"code": "en_GB"})"));
        }));
        EXPECT_TRUE(store.isInWriteTransaction());
        std::thread reader([&] { seenInside = store.objects(QStringLiteral("MLanguage")).count(); });
        reader.join();
    });
    EXPECT_EQ(seenInside, 0);
    EXPECT_EQ(count("MLanguage"), 1);
    EXPECT_FALSE(safeTransactionWithBlock(store, [&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MLanguage"), json(R"({"code": "de_DE"})"));
    }));
    EXPECT_FALSE(store.isInWriteTransaction());
    EXPECT_EQ(count("MLanguage"), 2);
}

TEST_F(JSONMappingObjects, CopiesAndMergesWorkOutsideTheStore) {
    const Object parsed = JSONMapping::initWithJSONDictionary(
        QStringLiteral("MLanguage"),
        json(R"({"code": "en_GB", "names": {"english": "English"}, "modes": {"Translation": true},
                 "voices": [{"identifier": "a", "quality": 1}]})"));
    ASSERT_FALSE(parsed.isNull());
    EXPECT_FALSE(parsed.isManaged());
    EXPECT_EQ(parsed.link(QStringLiteral("languageModes")).value(QStringLiteral("translation")),
              QVariant(true));
    EXPECT_EQ(count("MLanguage"), 0);

    const Object deep = JSONMapping::deepCopy(parsed);
    EXPECT_NE(deep.link(QStringLiteral("languageModes")), parsed.link(QStringLiteral("languageModes")));
    EXPECT_EQ(deep.link(QStringLiteral("languageModes")).value(QStringLiteral("translation")),
              QVariant(true));
    const Object shallow = JSONMapping::shallowCopy(parsed);
    EXPECT_EQ(shallow.list(QStringLiteral("voices")).at(0),
              parsed.list(QStringLiteral("voices")).at(0)); // same element

    // Merge with an equal key: the key stays, other values copy, list elements append.
    const Object other = JSONMapping::initWithJSONDictionary(
        QStringLiteral("MLanguage"),
        json(R"({"code": "en_GB", "voices": [{"identifier": "b", "quality": 2}]})"));
    JSONMapping::mergePropertiesFromObject(shallow, other);
    EXPECT_EQ(shallow.value(QStringLiteral("localeIdentifier")).toString(), QStringLiteral("en_GB"));
    EXPECT_FALSE(shallow.value(QStringLiteral("languageName")).isValid()); // nil copied too
    EXPECT_EQ(shallow.list(QStringLiteral("voices")).size(), 2);

    write([&](Transaction &tx) { tx.add(shallow); });
    EXPECT_TRUE(shallow.isManaged());
    EXPECT_EQ(count("MVoice"), 2);
    EXPECT_FALSE(JSONMapping::removeFromRealm(shallow));
    EXPECT_EQ(count("MLanguage"), 0);
    EXPECT_FALSE(JSONMapping::removeFromRealm(parsed)); // standalone: nothing happens
}

TEST(JSONMappingIndexSets, IndexSetsAreSortedAndUnique) {
    CollectionChange change;
    change.deletions = {3, 1, 3};
    change.insertions = {0};
    EXPECT_EQ(deletionsSet(change), (IndexSet{1, 3}));
    EXPECT_EQ(insertionsSet(change), (IndexSet{0}));
    EXPECT_TRUE(modificationsSet(change).isEmpty());
    EXPECT_EQ(indexSetFromNumbersArray({5, 2.0, 2}), (IndexSet{2, 5}));
}
