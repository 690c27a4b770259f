#include "StoreTestSchema.h"

using namespace platform;
using namespace storetest;

namespace {

class ObjectStoreQueries : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        write([&](Transaction &tx) {
            Object en = tx.create(
                QStringLiteral("Language"),
                {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")},
                 {QStringLiteral("languageName"), QStringLiteral("English")},
                 {QStringLiteral("languageModes"), QVariantMap{{QStringLiteral("translateWebSite"), true}}}});
            Object de = tx.create(QStringLiteral("Language"),
                                  {{QStringLiteral("localeIdentifier"), QStringLiteral("de_DE")},
                                   {QStringLiteral("languageName"), QStringLiteral("Deutsch")},
                                   {QStringLiteral("languageModes"),
                                    QVariantMap{{QStringLiteral("translateWebSite"), false}}}});
            Object fr = tx.create(QStringLiteral("Language"),
                                  {{QStringLiteral("localeIdentifier"), QStringLiteral("fr_FR")},
                                   {QStringLiteral("languageName"), QStringLiteral("Français")}});
            const struct {
                qint64 id;
                Object from;
                const char *text;
                QVariant favourite;
                double created;
            } rows[] = {
                {1, en, "Café au lait", true, 30},       {2, de, "Straße", false, 10},
                {3, fr, "crème brûlée", QVariant(), 20}, {4, en, "plain text", true, 40},
                {5, Object(), "no language", false, 20},
            };
            for (const auto &r : rows) {
                tx.create(QStringLiteral("Translation"),
                          {{QStringLiteral("idTranslation"), r.id},
                           {QStringLiteral("languageFrom"), QVariant::fromValue(r.from)},
                           {QStringLiteral("originalText"), QString::fromUtf8(r.text)},
                           {QStringLiteral("isFavorite"), r.favourite},
                           {QStringLiteral("createdDate"), r.created}});
            }
        });
    }

    QList<qint64> ids(const Results &results) {
        QList<qint64> out;
        for (const Object &o : results.toList())
            out.append(o.value(QStringLiteral("idTranslation")).toLongLong());
        return out;
    }

    Results translations() { return store.objects(QStringLiteral("Translation")); }
};

} // namespace

TEST_F(ObjectStoreQueries, EqualityAndInequalityTreatNullAsAValue) {
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("isFavorite")) == true)), (QList<qint64>{1, 4}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("isFavorite")) != true)),
              (QList<qint64>{2, 3, 5}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("isFavorite")) == QVariant())),
              (QList<qint64>{3}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("languageFrom")) == QVariant())),
              (QList<qint64>{5}));
    EXPECT_EQ(
        ids(translations().filter(Key(QStringLiteral("languageFrom")) == language(QStringLiteral("en_GB")))),
        (QList<qint64>{1, 4}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("createdDate")) > 20)), (QList<qint64>{1, 4}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("createdDate")) <= 20)), (QList<qint64>{2, 3, 5}));
    // A comparison with null is false, so its negation holds there.
    EXPECT_EQ(ids(translations().filter(!(Key(QStringLiteral("isFavorite")) > false))),
              (QList<qint64>{2, 3, 5}));
    EXPECT_EQ(ids(translations().filter(
                  !Key(QStringLiteral("languageFrom.localeIdentifier")).in({QStringLiteral("en_GB")}))),
              (QList<qint64>{2, 3, 5}));
}

TEST_F(ObjectStoreQueries, AndOrNotInAndKeyPathsThroughLinksCombine) {
    const Predicate english = Key(QStringLiteral("languageFrom.localeIdentifier")) == QStringLiteral("en_GB");
    EXPECT_EQ(ids(translations().filter(english && Key(QStringLiteral("createdDate")) < 35)),
              (QList<qint64>{1}));
    EXPECT_EQ(ids(translations().filter(english || Key(QStringLiteral("isFavorite")) == false)),
              (QList<qint64>{1, 2, 4, 5}));
    EXPECT_EQ(ids(translations().filter(!english)), (QList<qint64>{2, 3, 5}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("idTranslation")).in({2, 5, 99}))),
              (QList<qint64>{2, 5}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("idTranslation")).in({}))), (QList<qint64>{}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("languageFrom"))
                                            .in({QVariant::fromValue(language(QStringLiteral("de_DE"))),
                                                 QVariant::fromValue(language(QStringLiteral("fr_FR")))}))),
              (QList<qint64>{2, 3}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("languageFrom.languageModes.translateWebSite")) ==
                                        true)),
              (QList<qint64>{1, 4}));
    EXPECT_EQ(ids(translations().filter(Key(QStringLiteral("languageFrom.languageModes.translateWebSite")) !=
                                        true)),
              (QList<qint64>{2, 3, 5}));
    // A bad key path reads as no result rather than failing the caller.
    EXPECT_EQ(translations().filter(Key(QStringLiteral("languageFrom.nothing")) == 1).count(), 0);
}

TEST_F(ObjectStoreQueries, ContainsIgnoresCaseAndDiacriticsUnlessAskedNotTo) {
    EXPECT_EQ(
        ids(translations().filter(Key(QStringLiteral("originalText")).contains(QStringLiteral("cafe")))),
        (QList<qint64>{1}));
    EXPECT_EQ(ids(translations().filter(
                  Key(QStringLiteral("originalText")).contains(QStringLiteral("CRÈME BRULEE")))),
              (QList<qint64>{3}));
    EXPECT_EQ(ids(translations().filter(
                  Key(QStringLiteral("languageFrom.languageName")).contains(QStringLiteral("francais")))),
              (QList<qint64>{3}));
    EXPECT_EQ(translations()
                  .filter(Key(QStringLiteral("originalText")).contains(QStringLiteral("cafe"), CaseSensitive))
                  .count(),
              0);
    EXPECT_EQ(
        translations()
            .filter(Key(QStringLiteral("originalText")).contains(QStringLiteral("café"), CaseInsensitive))
            .count(),
        1);
    EXPECT_EQ(
        ids(translations().filter(Key(QStringLiteral("originalText")).beginsWith(QStringLiteral("pl")))),
        (QList<qint64>{4}));
}

TEST_F(ObjectStoreQueries, SortingCountFirstIndexAndOutOfRange) {
    const Results newest = translations().sorted(QStringLiteral("createdDate"), false);
    EXPECT_EQ(ids(newest), (QList<qint64>{4, 1, 5, 3, 2})); // ties: later insertion first when descending
    EXPECT_EQ(ids(translations().sorted(QStringLiteral("createdDate"))), (QList<qint64>{2, 3, 5, 1, 4}));
    const Results byLanguage = translations()
                                   .filter(Key(QStringLiteral("languageFrom")) != QVariant())
                                   .sorted(QStringLiteral("languageFrom.languageName"))
                                   .sorted(QStringLiteral("createdDate"), false);
    EXPECT_EQ(ids(byLanguage), (QList<qint64>{2, 4, 1, 3}));
    EXPECT_EQ(newest.count(), 5);
    EXPECT_EQ(newest.first().value(QStringLiteral("idTranslation")).toLongLong(), 4);
    EXPECT_EQ(newest.last().value(QStringLiteral("idTranslation")).toLongLong(), 2);
    EXPECT_EQ(newest.indexOf(store.objectForPrimaryKey(QStringLiteral("Translation"), 3)), 3);
    EXPECT_EQ(newest.indexOf(language(QStringLiteral("en_GB"))), -1);
    EXPECT_TRUE(newest.at(5).isNull());
    EXPECT_TRUE(newest.at(-1).isNull());
    EXPECT_TRUE(store.objectForPrimaryKey(QStringLiteral("Translation"), 99).isNull());
    EXPECT_TRUE(store.objects(QStringLiteral("Undeclared")).isEmpty());
}

TEST_F(ObjectStoreQueries, ResultsAreLiveAcrossWrites) {
    const Results favourites = translations().filter(Key(QStringLiteral("isFavorite")) == true);
    EXPECT_EQ(favourites.count(), 2);
    write([&](Transaction &tx) {
        store.objectForPrimaryKey(QStringLiteral("Translation"), 2)
            .set(tx, QStringLiteral("isFavorite"), true);
        EXPECT_EQ(favourites.count(), 3);
    });
    EXPECT_EQ(favourites.count(), 3);
    write([&](Transaction &tx) { tx.removeAll(favourites); });
    EXPECT_EQ(favourites.count(), 0);
    EXPECT_EQ(translations().count(), 2);
}

TEST_F(ObjectStoreQueries, ListsReadEveryValueBackAndGoStaleOnlyWhenTheStoreChanges) {
    // Many rows and values of every size: texts, blobs, nulls, dates, through links.
    constexpr int kRows = 300;
    const auto textOf = [](int i) {
        if (i % 7 == 0)
            return QVariant(); // null
        return QVariant(QStringLiteral("ü%1").arg(i).repeated(i == 150     ? 20000
                                                              : i == 3     ? 3000
                                                              : i % 5 == 0 ? 500
                                                                           : i % 9));
    };
    write([&](Transaction &tx) {
        for (int i = 0; i < kRows; ++i) {
            tx.create(
                QStringLiteral("Translation"),
                {{QStringLiteral("idTranslation"), 100 + i},
                 {QStringLiteral("originalText"), textOf(i)},
                 {QStringLiteral("languageFrom"), QVariant::fromValue(language(QStringLiteral("de_DE")))},
                 {QStringLiteral("createdDate"), i * 0.5}});
        }
        tx.create(QStringLiteral("Settings"),
                  {{QStringLiteral("idSetting"), 1},
                   {QStringLiteral("startDate"), QDateTime::fromMSecsSinceEpoch(123456789)}});
    });
    for (const int limit : {1, 17, kRows}) {
        SCOPED_TRACE(limit);
        const QList<Object> rows = translations()
                                       .filter(Key(QStringLiteral("idTranslation")) >= 100 &&
                                               Key(QStringLiteral("idTranslation")) < 100 + limit)
                                       .sorted(QStringLiteral("idTranslation"))
                                       .toList();
        ASSERT_EQ(rows.size(), limit);
        for (int i = 0; i < limit; ++i) {
            const QVariant text = rows.at(i).value(QStringLiteral("originalText"));
            ASSERT_EQ(text, textOf(i)) << i;
            ASSERT_DOUBLE_EQ(rows.at(i).value(QStringLiteral("createdDate")).toDouble(), i * 0.5);
            ASSERT_EQ(rows.at(i)
                          .link(QStringLiteral("languageFrom"))
                          .value(QStringLiteral("languageName"))
                          .toString(),
                      QStringLiteral("Deutsch"));
            ASSERT_FALSE(rows.at(i).value(QStringLiteral("isFavorite")).isValid());
        }
    }
    const QList<Object> settings = store.objects(QStringLiteral("Settings")).toList();
    ASSERT_EQ(settings.size(), 1);
    EXPECT_EQ(settings.first().value(QStringLiteral("startDate")).toDateTime().toMSecsSinceEpoch(),
              123456789);

    // A list read before a write shows the write, in its rows and in the objects its links name.
    const QList<Object> held = translations().filter(Key(QStringLiteral("idTranslation")) == 100).toList();
    write([&](Transaction &tx) {
        held.first().set(tx, QStringLiteral("originalText"), QStringLiteral("changed"));
        language(QStringLiteral("de_DE")).set(tx, QStringLiteral("languageName"), QStringLiteral("German"));
    });
    EXPECT_EQ(held.first().value(QStringLiteral("originalText")).toString(), QStringLiteral("changed"));
    EXPECT_EQ(
        held.first().link(QStringLiteral("languageFrom")).value(QStringLiteral("languageName")).toString(),
        QStringLiteral("German"));
}

// Counting and reading one place ask SQLite alone until the whole list is read; both must agree
// with the whole list at every place, joined and filtered, before and after a write.
TEST_F(ObjectStoreQueries, CountAndPlacesAgreeWithTheWholeListWithoutReadingIt) {
    write([&](Transaction &tx) {
        for (int i = 0; i < 300; ++i)
            tx.create(
                QStringLiteral("Translation"),
                {{QStringLiteral("idTranslation"), 100 + i},
                 {QStringLiteral("languageFrom"), QVariant::fromValue(language(QStringLiteral("en_GB")))},
                 {QStringLiteral("isFavorite"), i % 3 == 0},
                 {QStringLiteral("createdDate"), double(i % 7)}});
    });
    const auto fresh = [&] {
        return translations()
            .filter(Key(QStringLiteral("languageFrom.localeIdentifier")) == QStringLiteral("en_GB"))
            .sorted(QStringLiteral("createdDate"), false);
    };
    const auto agree = [&](const char *when) {
        SCOPED_TRACE(when);
        const QList<qint64> whole = fresh().rowIds();
        EXPECT_EQ(fresh().count(), whole.size());
        for (int index : {0, 1, 17, 255, 256, 299, int(whole.size()) - 1, int(whole.size()), -1}) {
            SCOPED_TRACE(index);
            const Object one = fresh().at(index);
            EXPECT_EQ(one.isNull() ? 0 : one.rowId(),
                      index >= 0 && index < whole.size() ? whole.at(index) : 0);
        }
    };
    agree("as written");
    const Results kept = fresh();
    EXPECT_EQ(kept.count(), 302);
    write([&](Transaction &tx) {
        tx.removeAll(translations().filter(Key(QStringLiteral("isFavorite")) == true));
    });
    EXPECT_EQ(kept.count(), 200); // the count kept before the write is not used after it
    agree("after removing the favourites");
}
