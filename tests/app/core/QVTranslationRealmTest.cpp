#include "ModelTestStore.h"

#include "core/models/QVTranslationRealm.h"

using platform::Object;
using platform::Transaction;

namespace {

const QString kTranslation = QStringLiteral("QVTranslationRealm");

// The record dictionary with exactly the twelve keys of the inbound table.
QVariantMap twelveKeys(qint64 id, const QString &translated) {
    return {{QStringLiteral("idTranslation"), id},
            {QStringLiteral("isSynch"), true},
            {QStringLiteral("originalText"), QStringLiteral("Good morning")},
            {QStringLiteral("translatedText"), translated},
            {QStringLiteral("detectedLanguage"), QStringLiteral("en")},
            {QStringLiteral("transliterationOriginalText"), QStringLiteral("")},
            {QStringLiteral("transliterationTranslatedText"), QStringLiteral("guten morgen")},
            {QStringLiteral("translationType"), 1},
            {QStringLiteral("isFavorite"), false},
            {QStringLiteral("translationViaCompany"), QStringLiteral("engine-a")},
            {QStringLiteral("learnCount"), 0},
            {QStringLiteral("createdDate"), 818035200.5}};
}

QVLanguageRealm language(Transaction &tx, const char *code) {
    return QVLanguageRealm(
        tx.createOrUpdate(QStringLiteral("QVLanguageRealm"),
                          {{QStringLiteral("localeIdentifier"), QString::fromLatin1(code)}}));
}

} // namespace

using QVTranslationRealmMapping = ModelStoreTest;

TEST_F(QVTranslationRealmMapping, TwelveKeysCreateARecordWithoutLanguagesAndReimportUpdatesIt) {
    QVTranslationRealm stored;
    write([&](Transaction &tx) {
        stored = QVTranslationRealm(JSONMapping::createOrUpdateInRealm(
            tx, kTranslation, twelveKeys(818035200, QStringLiteral("Guten Morgen"))));
    });
    ASSERT_FALSE(stored.isNull());
    EXPECT_EQ(stored.idTranslation(), 818035200);
    EXPECT_EQ(stored.isSynch(), true);
    EXPECT_EQ(stored.originalText(), QStringLiteral("Good morning"));
    EXPECT_EQ(stored.detectedLanguage(), QStringLiteral("en"));
    EXPECT_EQ(stored.transliterationOriginalText(), QStringLiteral(""));
    EXPECT_EQ(stored.transliterationTranslatedText(), QStringLiteral("guten morgen"));
    EXPECT_EQ(stored.translationType(), 1);
    EXPECT_EQ(stored.isFavorite(), false);
    EXPECT_EQ(stored.translationViaCompany(), QStringLiteral("engine-a"));
    EXPECT_EQ(stored.learnCount(), 0);
    EXPECT_DOUBLE_EQ(*stored.createdDate(), 818035200.5);
    EXPECT_TRUE(stored.languageFrom().isNull());
    EXPECT_TRUE(stored.languageTo().isNull());
    EXPECT_FALSE(stored.direaction().has_value());

    // The writer links the languages itself; a re-import keeps them and updates the text.
    write([&](Transaction &tx) {
        stored.setLanguageFrom(tx, language(tx, "en_GB"));
        stored.setLanguageTo(tx, language(tx, "de_DE"));
    });
    QVariantMap again = twelveKeys(818035200, QStringLiteral("Morgen!"));
    again.remove(QStringLiteral("originalText"));
    write([&](Transaction &tx) { JSONMapping::createOrUpdateInRealm(tx, kTranslation, again); });
    EXPECT_EQ(count(kTranslation), 1);
    EXPECT_EQ(stored.translatedText(), QStringLiteral("Morgen!"));
    EXPECT_EQ(stored.originalText(), QStringLiteral("Good morning")); // absent key: unchanged
    EXPECT_EQ(stored.languageTo().value(QStringLiteral("localeIdentifier")).toString(),
              QStringLiteral("de_DE"));
}

TEST_F(QVTranslationRealmMapping, KeysOutsideTheTableAndMalformedValuesNeverFailTheImport) {
    QVTranslationRealm stored;
    write([&](Transaction &tx) {
        stored = QVTranslationRealm(JSONMapping::createOrUpdateInRealm(
            tx, kTranslation,
            json(
                R"({"idTranslation": "7", "learnCount": "many", "createdDate": "yesterday", "isFavorite": "yes",
                     "translationType": 1.5, "originalText": ["a"], "translatedText": 42,
                     "languageFrom": {"localeIdentifier": "en_GB"}, "direaction": 2, "translatedBy": "x"})")));
        // Without an identifier nothing is stored.
        EXPECT_TRUE(JSONMapping::createOrUpdateInRealm(tx, kTranslation, json(R"({"originalText": "lost"})"))
                        .isNull());
    });
    ASSERT_FALSE(stored.isNull());
    EXPECT_EQ(stored.idTranslation(), 7);
    EXPECT_FALSE(stored.learnCount().has_value());
    EXPECT_FALSE(stored.createdDate().has_value());
    EXPECT_EQ(stored.isFavorite(), true);
    EXPECT_FALSE(stored.translationType().has_value());
    EXPECT_TRUE(stored.originalText().isNull());
    EXPECT_EQ(stored.translatedText(), QStringLiteral("42"));
    // Not in the table: the languages, the direction and translatedBy stay unset.
    EXPECT_TRUE(stored.languageFrom().isNull());
    EXPECT_FALSE(stored.direaction().has_value());
    EXPECT_TRUE(stored.translatedBy().isNull());
    EXPECT_EQ(count(kTranslation), 1);
    EXPECT_EQ(count(QStringLiteral("QVLanguageRealm")), 0);
}

TEST_F(QVTranslationRealmMapping, OutboundUsesSnakeCaseKeysWithNullForUnsetValues) {
    QVTranslationRealm stored;
    write([&](Transaction &tx) {
        stored = QVTranslationRealm(
            JSONMapping::createOrUpdateInRealm(tx, kTranslation, twelveKeys(5, QStringLiteral("Hallo"))));
        stored.setLanguageFrom(tx, language(tx, "en_GB"));
    });
    const QVariantMap out = JSONMapping::JSONDictionary(stored).toMap();
    EXPECT_EQ(out.value(QStringLiteral("id_translation")).toLongLong(), 5);
    EXPECT_EQ(out.value(QStringLiteral("translated_text")).toString(), QStringLiteral("Hallo"));
    EXPECT_EQ(out.value(QStringLiteral("transliteration_translated_text")).toString(),
              QStringLiteral("guten morgen"));
    EXPECT_EQ(out.value(QStringLiteral("translation_via_company")).toString(), QStringLiteral("engine-a"));
    EXPECT_EQ(out.value(QStringLiteral("is_synch")), QVariant(true));
    // A linked record is written by its own class's table.
    EXPECT_EQ(out.value(QStringLiteral("language_from")).typeId(), QMetaType::QVariantMap);
    // Unset values are written as null under their key.
    for (const char *key :
         {"language_to", "direaction", "storage_picture", "lexical_meaning", "translated_by"}) {
        ASSERT_TRUE(out.contains(QString::fromLatin1(key))) << key;
        EXPECT_TRUE(isNullValue(out.value(QString::fromLatin1(key)))) << key;
    }
    EXPECT_FALSE(out.contains(QStringLiteral("idTranslation")));
}

using QVTranslationRealmIds = ModelStoreTest;

TEST_F(QVTranslationRealmIds, IdentifiersAreWholeSecondsSinceTwoThousandOne) {
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(QVBaseTranslateModel::identifierForDate(reference), 0);
    EXPECT_EQ(QVBaseTranslateModel::identifierForDate(reference.addMSecs(61999)), 61);
    EXPECT_DOUBLE_EQ(QVBaseTranslateModel::timeIntervalSinceReferenceDate(reference.addMSecs(1500)), 1.5);
    EXPECT_EQ(QVBaseTranslateModel::identifierForDate(reference.addMSecs(-500)), -1);
    EXPECT_EQ(QVBaseTranslateModel::dateForTimeIntervalSinceReferenceDate(61.25), reference.addMSecs(61250));
}

TEST_F(QVTranslationRealmIds, TwoTranslationsInTheSameSecondBothSurvive) {
    const qint64 second = 818035200;
    write([&](Transaction &tx) {
        EXPECT_EQ(QVTranslationRealm::nextFreeIdTranslation(tx, second), second); // free: the second itself
        const QVTranslationRealm first =
            QVTranslationRealm::createNewInRealm(tx, twelveKeys(second, QStringLiteral("eins")));
        const QVTranslationRealm next =
            QVTranslationRealm::createNewInRealm(tx, twelveKeys(second, QStringLiteral("zwei")));
        EXPECT_EQ(first.idTranslation(), second);
        EXPECT_EQ(next.idTranslation(), second + 1);
    });
    // In a later transaction too, and past a run of taken identifiers.
    write([&](Transaction &tx) {
        const QVTranslationRealm third =
            QVTranslationRealm::createNewInRealm(tx, twelveKeys(second, QStringLiteral("drei")));
        EXPECT_EQ(third.idTranslation(), second + 2);
    });
    EXPECT_EQ(count(kTranslation), 3);
    EXPECT_EQ(QVTranslationRealm(store.objectForPrimaryKey(kTranslation, second)).translatedText(),
              QStringLiteral("eins"));
    EXPECT_EQ(QVTranslationRealm(store.objectForPrimaryKey(kTranslation, second + 1)).translatedText(),
              QStringLiteral("zwei"));
}

TEST_F(QVTranslationRealmIds, ANewRecordWithoutIdentifierTakesItsCreationSecond) {
    QVariantMap record = twelveKeys(0, QStringLiteral("x"));
    record.remove(QStringLiteral("idTranslation"));
    QVTranslationRealm stored;
    write([&](Transaction &tx) { stored = QVTranslationRealm::createNewInRealm(tx, record); });
    EXPECT_EQ(stored.idTranslation(), 818035200);

    record.insert(QStringLiteral("idTranslation"), QStringLiteral("not a number"));
    record.insert(QStringLiteral("createdDate"), 1e300); // no usable creation time either
    const qint64 before = QVBaseTranslateModel::identifierForDate(QDateTime::currentDateTimeUtc());
    write([&](Transaction &tx) { stored = QVTranslationRealm::createNewInRealm(tx, record); });
    ASSERT_TRUE(stored.idTranslation().has_value());
    EXPECT_GE(*stored.idTranslation(), before);
    EXPECT_LE(*stored.idTranslation(),
              QVBaseTranslateModel::identifierForDate(QDateTime::currentDateTimeUtc()));
}

using QVTranslationRealmArchive = ModelStoreTest;

TEST_F(QVTranslationRealmArchive, ArchiveCarriesNineKeysAndRestoresTheRecord) {
    QVTranslationRealm stored;
    write([&](Transaction &tx) {
        stored = QVTranslationRealm(
            JSONMapping::createOrUpdateInRealm(tx, kTranslation, twelveKeys(9, QStringLiteral("Hallo"))));
        stored.setLanguageFrom(tx, language(tx, "en_GB"));
        stored.setLanguageTo(tx, language(tx, "xx_XX"));
        stored.setDireaction(tx, 2);
    });
    const QVariantMap coder = stored.encodeWithCoder();
    EXPECT_EQ(coder.size(), 9);
    EXPECT_EQ(coder.value(QStringLiteral("kTranslationLanguageFrom")).toString(), QStringLiteral("en_GB"));

    // The target language is no longer in the catalogue when the archive is read.
    write([&](Transaction &tx) {
        tx.remove(store.objectForPrimaryKey(QStringLiteral("QVLanguageRealm"), QStringLiteral("xx_XX")));
    });
    const QVTranslationRealm decoded = QVTranslationRealm::unarchivedObject(stored.archivedData(), store);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_FALSE(decoded.isManaged());
    EXPECT_EQ(decoded.idTranslation(), 9);
    EXPECT_DOUBLE_EQ(*decoded.createdDate(), 818035200.5);
    EXPECT_EQ(decoded.translatedText(), QStringLiteral("Hallo"));
    EXPECT_EQ(decoded.direaction(), 2);
    EXPECT_EQ(decoded.translationType(), 1);
    EXPECT_EQ(decoded.isFavorite(), false);
    EXPECT_EQ(decoded.languageFrom(),
              store.objectForPrimaryKey(QStringLiteral("QVLanguageRealm"), QStringLiteral("en_GB")));
    EXPECT_TRUE(decoded.languageTo().isNull());
    EXPECT_TRUE(decoded.transliterationTranslatedText().isNull()); // not archived: stays unset
}

TEST_F(QVTranslationRealmArchive, DamagedArchivesAndWrongValueKindsAreRefusedOrSkipped) {
    EXPECT_TRUE(QVTranslationRealm::unarchivedObject(QByteArray("not an archive"), store).isNull());
    EXPECT_TRUE(QVTranslationRealm::unarchivedObject(QByteArray(), store).isNull());
    QVTranslationRealm record(
        Object::unmanaged(QVTranslationRealm::schema(), {{QStringLiteral("idTranslation"), 3}}));
    EXPECT_TRUE(QVTranslationRealm::unarchivedObject(record.archivedData().left(12), store).isNull());

    const QVTranslationRealm decoded = QVTranslationRealm::initWithCoder(
        {{QStringLiteral("kTranslationId"), QStringLiteral("12")},
         {QStringLiteral("kTranslationCreatedDate"), QStringLiteral("soon")},
         {QStringLiteral("kTranslationLanguageFrom"), 5},
         {QStringLiteral("kTranslationIsFavorite"), QVariantList{1}}},
        store);
    EXPECT_EQ(decoded.idTranslation(), 12);
    EXPECT_FALSE(decoded.createdDate().has_value());
    EXPECT_TRUE(decoded.languageFrom().isNull());
    EXPECT_FALSE(decoded.isFavorite().has_value());
}
