#include "StoreTestSchema.h"

#include "platform/store/Sqlite.h"
#include "support/EventLoop.h"

#include <sqlite3.h>

using namespace platform;
using namespace storetest;

namespace {

const QStringList kTexts = {
    QStringLiteral("Café au lait"),
    QStringLiteral("CAFE"),
    QStringLiteral("naïve idea"),
    QStringLiteral("Straße"),
    QStringLiteral("Zürich"),
    QStringLiteral("zurich"),
    QStringLiteral(""),
    QStringLiteral("ab"),
    QStringLiteral("日本語のテキスト"),
    QStringLiteral("emoji 😀 smile"),
    QStringLiteral("say \"hi\""),
    QStringLiteral("Ångström ÅNGSTRÖM"),
};

const QStringList kNeedles = {
    QStringLiteral("cafe"),   QStringLiteral("CAFÉ"), QStringLiteral("é"),
    QStringLiteral("ab"),     QStringLiteral("a"),    QStringLiteral("zur"),
    QStringLiteral("ZÜRICH"), QStringLiteral("aïv"),  QStringLiteral("日本"),
    QStringLiteral("語のテ"), QStringLiteral("😀 s"),  QStringLiteral("\"hi\""),
    QStringLiteral(""),       QStringLiteral("xyz"),  QStringLiteral("angstrom angs"),
    QStringLiteral("ss"),
};

class ObjectStoreSearch : public StoreTest {
protected:
    // What the query must find: the same folding, applied to every row.
    QSet<qint64> expected(const QString &needle, bool prefix) {
        const int flags = sqlite::FoldCase | sqlite::FoldDiacritics;
        const QString folded = sqlite::fold(needle, flags);
        QSet<qint64> out;
        for (const Object &t : store.objects(QStringLiteral("Translation")).toList()) {
            const QVariant text = t.value(QStringLiteral("originalText"));
            if (!text.isValid())
                continue;
            const QString haystack = sqlite::fold(text.toString(), flags);
            if (prefix ? haystack.startsWith(folded) : haystack.contains(folded))
                out.insert(t.value(QStringLiteral("idTranslation")).toLongLong());
        }
        return out;
    }
    QSet<qint64> found(const Predicate &predicate) {
        QSet<qint64> out;
        for (const Object &t : store.objects(QStringLiteral("Translation")).filter(predicate).toList())
            out.insert(t.value(QStringLiteral("idTranslation")).toLongLong());
        return out;
    }
    void checkEveryNeedle() {
        for (const QString &needle : kNeedles) {
            SCOPED_TRACE(needle.toStdString());
            EXPECT_EQ(found(Key(QStringLiteral("originalText")).contains(needle)), expected(needle, false));
            EXPECT_EQ(found(Key(QStringLiteral("originalText"))
                                .beginsWith(needle, CaseInsensitive | DiacriticInsensitive)),
                      expected(needle, true));
            // Negated and combined forms keep their meaning (null text never contains anything).
            const QSet<qint64> all = found(Predicate());
            QSet<qint64> outside = all;
            outside.subtract(expected(needle, false));
            EXPECT_EQ(found(!Key(QStringLiteral("originalText")).contains(needle)), outside);
            EXPECT_EQ(found(Key(QStringLiteral("originalText")).contains(needle) ||
                            Key(QStringLiteral("idTranslation")) == 1),
                      expected(needle, false) | QSet<qint64>{1});
        }
    }
};

} // namespace

TEST_F(ObjectStoreSearch, TheFoldedIndexFindsWhatFoldingEveryRowFindsAndFollowsEveryWrite) {
    write([&](Transaction &tx) {
        for (int i = 0; i < kTexts.size(); ++i)
            tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), i + 1},
                                                      {QStringLiteral("originalText"), kTexts.at(i)}});
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 100}}); // no text
    });
    {
        SCOPED_TRACE("as written");
        checkEveryNeedle();
    }
    write([&](Transaction &tx) {
        const auto byId = [&](qint64 id) {
            return store.objectForPrimaryKey(QStringLiteral("Translation"), id);
        };
        byId(1).set(tx, QStringLiteral("originalText"), QStringLiteral("tea, no coffee"));
        byId(100).set(tx, QStringLiteral("originalText"), QStringLiteral("cafétéria"));
        byId(5).set(tx, QStringLiteral("originalText"), QVariant());
        tx.remove(byId(2));
        tx.replace(QStringLiteral("Translation"),
                   {{QStringLiteral("idTranslation"), 3},
                    {QStringLiteral("originalText"), QStringLiteral("ZURICH")}});
    });
    {
        SCOPED_TRACE("after updates and a removal");
        checkEveryNeedle();
    }
    // Many at once, then everything.
    write([&](Transaction &tx) {
        for (int i = 0; i < 40; ++i)
            tx.create(QStringLiteral("Translation"),
                      {{QStringLiteral("idTranslation"), 200 + i},
                       {QStringLiteral("originalText"), QStringLiteral("bulk café %1").arg(i)}});
    });
    write([&](Transaction &tx) {
        tx.removeAll(
            store.objects(QStringLiteral("Translation")).filter(Key(QStringLiteral("idTranslation")) >= 210));
    });
    {
        SCOPED_TRACE("after a removal of many");
        checkEveryNeedle();
        EXPECT_EQ(found(Key(QStringLiteral("originalText")).contains(QStringLiteral("BULK CAFE"))).size(),
                  10);
    }
    write([&](Transaction &tx) { tx.removeAll(QStringLiteral("Translation")); });
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"),
                  {{QStringLiteral("idTranslation"), 1},
                   {QStringLiteral("originalText"), QStringLiteral("Café again")}});
    });
    {
        SCOPED_TRACE("after clearing");
        checkEveryNeedle();
    }
    // A folded text through a link, and the store reopened.
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Language"), {{QStringLiteral("localeIdentifier"), QStringLiteral("fr_FR")},
                                               {QStringLiteral("languageName"), QStringLiteral("Français")}});
        store.objectForPrimaryKey(QStringLiteral("Translation"), 1)
            .set(tx, QStringLiteral("languageFrom"), QVariant::fromValue(language(QStringLiteral("fr_FR"))));
    });
    store = ObjectStore();
    store = ObjectStore::open(configuration(path()));
    EXPECT_EQ(found(Key(QStringLiteral("languageFrom.languageName")).contains(QStringLiteral("FRANCAIS"))),
              QSet<qint64>{1});
    EXPECT_EQ(found(Key(QStringLiteral("originalText")).contains(QStringLiteral("cafe again"))),
              QSet<qint64>{1});
}

TEST_F(ObjectStoreSearch, RemovingManyAtOnceLeavesWhatRemovingOneByOneLeaves) {
    QList<CollectionChange> changes;
    QList<ObjectChange> settingsChanges;
    write([&](Transaction &tx) {
        QList<Object> recent;
        for (int i = 0; i < 30; ++i) {
            const Object l = tx.create(
                QStringLiteral("Language"),
                {{QStringLiteral("localeIdentifier"), QStringLiteral("%1_%2").arg(i < 20 ? "x" : "k").arg(i)},
                 {QStringLiteral("languageModes"), QVariantMap{{QStringLiteral("translation"), true}}},
                 {QStringLiteral("voices"),
                  QVariantList{QVariantMap{{QStringLiteral("identifier"), QStringLiteral("v%1").arg(i)},
                                           {QStringLiteral("quality"), i}}}}});
            if (i % 3 == 0)
                recent.append(l);
            tx.create(QStringLiteral("Translation"),
                      {{QStringLiteral("idTranslation"), i},
                       {QStringLiteral("languageFrom"), QVariant::fromValue(l)}});
        }
        tx.create(QStringLiteral("Settings"),
                  {{QStringLiteral("idSetting"), 1},
                   {QStringLiteral("languageFrom"), QVariant::fromValue(recent.first())},
                   {QStringLiteral("recentlyLanguages"), QVariant::fromValue(recent)}});
    });
    const Results languages =
        store.objects(QStringLiteral("Language")).sorted(QStringLiteral("localeIdentifier"));
    NotificationToken languagesToken =
        languages.observe([&](const CollectionChange &c) { changes.append(c); });
    const Object settings = store.objectForPrimaryKey(QStringLiteral("Settings"), 1);
    NotificationToken settingsToken =
        settings.observe([&](const ObjectChange &c) { settingsChanges.append(c); });
    ASSERT_TRUE(qvtest::waitUntil([&] { return !changes.isEmpty(); }));
    const Object doomed = language(QStringLiteral("x_3"));

    write([&](Transaction &tx) {
        tx.removeAll(store.objects(QStringLiteral("Language"))
                         .filter(Key(QStringLiteral("localeIdentifier")).beginsWith(QStringLiteral("x_"))));
    });
    EXPECT_EQ(store.objects(QStringLiteral("Language")).count(), 10);
    EXPECT_FALSE(doomed.isValid());
    // Their capability flags went with them (nothing else held them); the keyed voices stay.
    EXPECT_EQ(store.objects(QStringLiteral("Mode")).count(), 10);
    EXPECT_EQ(store.objects(QStringLiteral("Voice")).count(), 30);
    // Links to them are unset and lists drop them, keeping the rest in order.
    EXPECT_TRUE(Settings(settings).languageFrom().isNull());
    QStringList recent;
    for (const Object &l : Settings(settings).recentlyLanguages().toList())
        recent.append(l.value(QStringLiteral("localeIdentifier")).toString());
    EXPECT_EQ(recent, (QStringList{QStringLiteral("k_21"), QStringLiteral("k_24"), QStringLiteral("k_27")}));
    EXPECT_EQ(store.objects(QStringLiteral("Translation"))
                  .filter(Key(QStringLiteral("languageFrom")) == QVariant())
                  .count(),
              20);
    // Observers hear of it as of any removal.
    ASSERT_TRUE(qvtest::waitUntil([&] { return changes.size() >= 2 && !settingsChanges.isEmpty(); }));
    EXPECT_EQ(changes.at(1).deletions.size(), 20);
    EXPECT_EQ(settingsChanges.first().properties,
              (QStringList{QStringLiteral("languageFrom"), QStringLiteral("recentlyLanguages")}));

    // Everything of a class: the same, without reading the rows first.
    write([&](Transaction &tx) { tx.removeAll(QStringLiteral("Language")); });
    EXPECT_EQ(store.objects(QStringLiteral("Mode")).count(), 0);
    EXPECT_TRUE(Settings(settings).recentlyLanguages().isEmpty());
    EXPECT_EQ(store.objects(QStringLiteral("Translation"))
                  .filter(Key(QStringLiteral("languageFrom")) != QVariant())
                  .count(),
              0);
    ASSERT_TRUE(qvtest::waitUntil([&] { return changes.size() >= 3; }));
    EXPECT_EQ(changes.at(2).deletions.size(), 10);
}

TEST(ObjectStoreSearchUpgrade, TextStoredBeforeItWasSearchableIsFoundAfterTheNextOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.sqlite"));
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(
            sqlite3_exec(db,
                         "CREATE TABLE Translation (_id INTEGER PRIMARY KEY AUTOINCREMENT, idTranslation "
                         "INTEGER, originalText TEXT);"
                         "INSERT INTO Translation (idTranslation, originalText) VALUES (1, 'Crème brûlée'), "
                         "(2, 'plain'), (3, NULL); PRAGMA user_version = 112;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
    }
    ObjectStore store = ObjectStore::open(configuration(path));
    ASSERT_FALSE(store.isNull());
    for (const char *needle : {"CREME BRU", "crème", "ai"}) {
        SCOPED_TRACE(needle);
        const QList<Object> found =
            store.objects(QStringLiteral("Translation"))
                .filter(Key(QStringLiteral("originalText")).contains(QString::fromUtf8(needle)))
                .toList();
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found.first().value(QStringLiteral("idTranslation")).toLongLong(),
                  QByteArray(needle) == "ai" ? 2 : 1);
    }
}
