#include "StoreTestSchema.h"

#include <QSemaphore>

#include <thread>

using namespace platform;
using namespace storetest;

namespace {
QVariantMap translation(qint64 id, const QString &text, const QVariant &favourite = {}) {
    return {{QStringLiteral("idTranslation"), id},
            {QStringLiteral("originalText"), text},
            {QStringLiteral("isFavorite"), favourite}};
}
} // namespace

using ObjectStoreTransactions = StoreTest;

TEST_F(ObjectStoreTransactions, JoinedWriteCommitsOnlyWithTheOuterOneAndIsInvisibleToOtherThreadsUntilThen) {
    int seenByWorker = -1;
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), translation(1, QStringLiteral("outer")));
        const Error inner = store.write([&](Transaction &joined) {
            EXPECT_TRUE(store.isInWriteTransaction());
            joined.create(QStringLiteral("Translation"), translation(2, QStringLiteral("inner")));
        });
        EXPECT_FALSE(inner);
        EXPECT_TRUE(store.isInWriteTransaction());                          // the joined call did not commit
        EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), 2); // own writes are visible here
        std::thread worker([&] { seenByWorker = store.objects(QStringLiteral("Translation")).count(); });
        worker.join();
    });
    EXPECT_EQ(seenByWorker, 0);
    EXPECT_FALSE(store.isInWriteTransaction());
    int afterCommit = -1;
    std::thread worker([&] { afterCommit = store.objects(QStringLiteral("Translation")).count(); });
    worker.join();
    EXPECT_EQ(afterCommit, 2);
}

TEST_F(ObjectStoreTransactions, AnErrorInAJoinedBlockRollsBackTheWholeTransaction) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), translation(1, QStringLiteral("kept")));
    });
    Error innerError;
    const Error outer = store.write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), translation(2, QStringLiteral("lost")));
        innerError = store.write([&](Transaction &joined) {
            joined.create(QStringLiteral("Translation"), translation(1, QStringLiteral("duplicate")));
        });
        tx.create(QStringLiteral("Translation"), translation(3, QStringLiteral("lost too")));
    });
    EXPECT_TRUE(innerError);
    EXPECT_TRUE(outer);
    EXPECT_EQ(outer.domain(), QString::fromLatin1(ObjectStore::kErrorDomain));
    const Results all = store.objects(QStringLiteral("Translation"));
    ASSERT_EQ(all.count(), 1);
    EXPECT_EQ(all.first().value(QStringLiteral("originalText")).toString(), QStringLiteral("kept"));
}

TEST_F(ObjectStoreTransactions, ExceptionsAndMisuseInsideABlockBecomeErrorsAndStoreNothing) {
    const Error thrown = store.write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), translation(1, QStringLiteral("a")));
        throw std::runtime_error("boom");
    });
    EXPECT_TRUE(thrown);
    EXPECT_TRUE(thrown.localizedDescription().contains(QStringLiteral("boom")));

    const Error unknownProperty = store.write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"),
                  {{QStringLiteral("idTranslation"), 2}, {QStringLiteral("nope"), 1}});
    });
    EXPECT_TRUE(unknownProperty);
    const Error wrongType = store.write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"),
                  {{QStringLiteral("idTranslation"), QStringLiteral("seven")}});
    });
    EXPECT_TRUE(wrongType);
    const Error requiredNull = store.write([&](Transaction &tx) {
        tx.create(QStringLiteral("Voice"), {{QStringLiteral("identifier"), QStringLiteral("v")},
                                            {QStringLiteral("quality"), QVariant()}});
    });
    EXPECT_TRUE(requiredNull);
    const Error undeclared = store.write([&](Transaction &tx) { tx.create(QStringLiteral("Nothing")); });
    EXPECT_TRUE(undeclared);
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), 0);
    EXPECT_EQ(store.objects(QStringLiteral("Voice")).count(), 0);
}

TEST_F(ObjectStoreTransactions, AFailedOperationDoomsTheTransactionEvenWhenTheBlockCatchesIt) {
    // The nested language is stored before the translation's insert meets its mistyped flag.
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), translation(1, QStringLiteral("first")));
    });
    const Error error = store.write([&](Transaction &tx) {
        try {
            QVariantMap values = translation(2, QStringLiteral("again"), QVariantList{1, 2});
            values.insert(QStringLiteral("languageFrom"),
                          QVariantMap{{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
            tx.createOrUpdate(QStringLiteral("Translation"), values);
        } catch (const StoreError &) {
            // Swallowed on purpose: the store must still refuse to commit.
        }
    });
    EXPECT_TRUE(error);
    EXPECT_EQ(store.objects(QStringLiteral("Language")).count(), 0);
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), 1);
}

TEST_F(ObjectStoreTransactions, WritersOnSeveralThreadsAreSerialisedWithoutLostUpdates) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Settings"), {{QStringLiteral("idSetting"), 1}});
    });
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const Error error = store.write([&](Transaction &tx) {
                    Settings settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1));
                    settings.setCountOfLaunch(tx, settings.countOfLaunch() + 1);
                    tx.create(QStringLiteral("Translation"), translation(t * 1000 + i, QStringLiteral("x")));
                });
                if (error)
                    ++failures;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1)).countOfLaunch(), 100);
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), 100);
}

using ObjectStoreWriteForms = StoreTest;

TEST_F(ObjectStoreWriteForms, CreateOrUpdateChangesOnlyTheGivenKeysAndReplaceResetsTheRest) {
    write([&](Transaction &tx) {
        QVariantMap values = translation(7, QStringLiteral("hello"), true);
        values.insert(QStringLiteral("learnCount"), 3);
        tx.create(QStringLiteral("Translation"), values);
    });
    write([&](Transaction &tx) {
        tx.createOrUpdate(QStringLiteral("Translation"),
                          {{QStringLiteral("idTranslation"), 7}, {QStringLiteral("isFavorite"), false}});
    });
    Object t = store.objectForPrimaryKey(QStringLiteral("Translation"), 7);
    EXPECT_EQ(t.value(QStringLiteral("originalText")).toString(), QStringLiteral("hello"));
    EXPECT_EQ(t.value(QStringLiteral("isFavorite")), QVariant(false));
    EXPECT_EQ(t.get<qint64>(QStringLiteral("learnCount")), 3);

    write([&](Transaction &tx) {
        tx.replace(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 7},
                                                   {QStringLiteral("originalText"), QStringLiteral("new")}});
    });
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), 1);
    EXPECT_EQ(t.value(QStringLiteral("originalText")).toString(), QStringLiteral("new"));
    EXPECT_FALSE(t.value(QStringLiteral("isFavorite")).isValid()); // null again
    EXPECT_EQ(t.get<std::optional<bool>>(QStringLiteral("isFavorite")), std::nullopt);
    EXPECT_EQ(t.get<qint64>(QStringLiteral("learnCount")), 0); // back to its default
}

TEST_F(ObjectStoreWriteForms, NestedDictionariesCreateOrUpdateLinkedObjectsAndArraysReplaceLists) {
    const QVariantMap english{
        {QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")},
        {QStringLiteral("languageModes"), QVariantMap{{QStringLiteral("translation"), true}}},
        {QStringLiteral("voices"),
         QVariantList{QVariantMap{{QStringLiteral("identifier"), QStringLiteral("v1")},
                                  {QStringLiteral("quality"), 1}},
                      QVariantMap{{QStringLiteral("identifier"), QStringLiteral("v2")},
                                  {QStringLiteral("quality"), 2}}}}};
    write([&](Transaction &tx) { tx.createOrUpdate(QStringLiteral("Language"), english); });
    Language en(language(QStringLiteral("en_GB")));
    EXPECT_EQ(en.languageModes().value(QStringLiteral("translation")), QVariant(true));
    ASSERT_EQ(en.voices().size(), 2);
    EXPECT_EQ(en.voices().at(1).value(QStringLiteral("quality")).toLongLong(), 2);

    // Again, with a new flag object and voices in another order, v1 updated in place.
    QVariantMap again = english;
    again.insert(QStringLiteral("languageModes"), QVariantMap{{QStringLiteral("translateWebSite"), true}});
    again.insert(QStringLiteral("voices"),
                 QVariantList{QVariantMap{{QStringLiteral("identifier"), QStringLiteral("v3")},
                                          {QStringLiteral("quality"), 3}},
                              QVariantMap{{QStringLiteral("identifier"), QStringLiteral("v1")},
                                          {QStringLiteral("quality"), 9}}});
    write([&](Transaction &tx) { tx.createOrUpdate(QStringLiteral("Language"), again); });
    EXPECT_EQ(store.objects(QStringLiteral("Language")).count(), 1);
    // The replaced flag object had no primary key and nothing else linked it: gone.
    EXPECT_EQ(store.objects(QStringLiteral("Mode")).count(), 1);
    EXPECT_EQ(en.languageModes().translateWebSite(), std::optional<bool>(true));
    QStringList order;
    for (const Object &v : en.voices().toList())
        order.append(v.value(QStringLiteral("identifier")).toString());
    EXPECT_EQ(order, (QStringList{QStringLiteral("v3"), QStringLiteral("v1")}));
    EXPECT_EQ(store.objectForPrimaryKey(QStringLiteral("Voice"), QStringLiteral("v1"))
                  .value(QStringLiteral("quality"))
                  .toLongLong(),
              9);
    EXPECT_EQ(store.objects(QStringLiteral("Voice")).count(), 3); // voices have keys: v2 stays stored
}

TEST_F(ObjectStoreWriteForms, StandaloneObjectsBecomeStoredWhenAdded) {
    Object mode = Object::unmanaged(Mode::schema(), {{QStringLiteral("translation"), true}});
    Object lang =
        Object::unmanaged(Language::schema(), {{QStringLiteral("localeIdentifier"), QStringLiteral("fr_FR")},
                                               {QStringLiteral("languageModes"), QVariant::fromValue(mode)}});
    EXPECT_FALSE(lang.isManaged());
    EXPECT_EQ(lang.link(QStringLiteral("languageModes")), mode);
    write([&](Transaction &tx) { tx.add(lang); });
    EXPECT_TRUE(lang.isManaged());
    EXPECT_EQ(lang, language(QStringLiteral("fr_FR")));
    EXPECT_EQ(Language(lang).languageModes().value(QStringLiteral("translation")), QVariant(true));
    EXPECT_THROW(lang.setValue(QStringLiteral("languageName"), QStringLiteral("x")), StoreError);
}

using ObjectStoreLinks = StoreTest;

TEST_F(ObjectStoreLinks, DeletingAnObjectUnsetsLinksRemovesItFromListsAndLeavesSafeHandles) {
    write([&](Transaction &tx) {
        Object en = tx.create(QStringLiteral("Language"),
                              {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
        Object de = tx.create(QStringLiteral("Language"),
                              {{QStringLiteral("localeIdentifier"), QStringLiteral("de_DE")}});
        tx.create(QStringLiteral("Settings"), {{QStringLiteral("idSetting"), 1},
                                               {QStringLiteral("languageFrom"), QVariant::fromValue(en)},
                                               {QStringLiteral("recentlyLanguages"),
                                                QVariantList{QVariant::fromValue(en), QVariant::fromValue(de),
                                                             QVariant::fromValue(en)}}});
    });
    Object en = language(QStringLiteral("en_GB"));
    Settings settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1));
    EXPECT_EQ(settings.languageFrom(), en);
    EXPECT_EQ(settings.recentlyLanguages().size(), 3);

    write([&](Transaction &tx) { tx.remove(en); });
    EXPECT_TRUE(settings.languageFrom().isNull());
    ASSERT_EQ(settings.recentlyLanguages().size(), 1);
    EXPECT_EQ(settings.recentlyLanguages().at(0), language(QStringLiteral("de_DE")));
    EXPECT_FALSE(en.isValid());
    EXPECT_FALSE(en.value(QStringLiteral("localeIdentifier")).isValid());
    EXPECT_EQ(Language(en).languageName(), QString());
    EXPECT_TRUE(store.write(
        [&](Transaction &tx) { en.set(tx, QStringLiteral("languageName"), QStringLiteral("x")); }));

    // A handle to a deleted object never turns into a later one.
    Object newest;
    write([&](Transaction &tx) {
        newest = tx.create(QStringLiteral("Language"),
                           {{QStringLiteral("localeIdentifier"), QStringLiteral("it_IT")}});
    });
    write([&](Transaction &tx) { tx.remove(newest); });
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Language"),
                  {{QStringLiteral("localeIdentifier"), QStringLiteral("fr_FR")}});
    });
    EXPECT_FALSE(newest.isValid());
    EXPECT_FALSE(newest.value(QStringLiteral("localeIdentifier")).isValid());
}

TEST_F(ObjectStoreLinks, DeletingAnOwnerDeletesTheKeylessObjectItAloneLinks) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Language"),
                  {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")},
                   {QStringLiteral("languageModes"), QVariantMap{{QStringLiteral("translation"), true}}}});
        Object fr = tx.create(QStringLiteral("Language"),
                              {{QStringLiteral("localeIdentifier"), QStringLiteral("fr_FR")},
                               {QStringLiteral("languageModes"), QVariantMap{}}});
        // A flag object shared by two owners stays while one of them still links it.
        tx.create(QStringLiteral("Language"),
                  {{QStringLiteral("localeIdentifier"), QStringLiteral("fr_CA")},
                   {QStringLiteral("languageModes"),
                    QVariant::fromValue(fr.link(QStringLiteral("languageModes")))}});
    });
    ASSERT_EQ(store.objects(QStringLiteral("Mode")).count(), 2);
    write([&](Transaction &tx) { tx.remove(language(QStringLiteral("en_GB"))); });
    EXPECT_EQ(store.objects(QStringLiteral("Mode")).count(), 1);
    write([&](Transaction &tx) { tx.remove(language(QStringLiteral("fr_FR"))); });
    EXPECT_EQ(store.objects(QStringLiteral("Mode")).count(), 1);
    EXPECT_FALSE(Language(language(QStringLiteral("fr_CA"))).languageModes().isNull());
    write([&](Transaction &tx) { tx.removeAll(QStringLiteral("Language")); });
    EXPECT_EQ(store.objects(QStringLiteral("Mode")).count(), 0);
}

TEST_F(ObjectStoreLinks, ListEditsKeepTheirOrderAndLinkingObjectsFindOwners) {
    write([&](Transaction &tx) {
        for (const char *code : {"a", "b", "c", "d"})
            tx.create(QStringLiteral("Language"),
                      {{QStringLiteral("localeIdentifier"), QString::fromLatin1(code)}});
        tx.create(QStringLiteral("Settings"), {{QStringLiteral("idSetting"), 1}});
    });
    Settings settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1));
    write([&](Transaction &tx) {
        const List list = settings.recentlyLanguages();
        list.append(tx, language(QStringLiteral("a")));
        list.append(tx, language(QStringLiteral("b")));
        list.insert(tx, 0, language(QStringLiteral("c"))); // c a b
        list.move(tx, 2, 0);                               // b c a
        list.append(tx, language(QStringLiteral("d")));    // b c a d
        list.removeAt(tx, 1);                              // b a d
    });
    QStringList codes;
    for (const Object &o : settings.recentlyLanguages().toList())
        codes.append(o.value(QStringLiteral("localeIdentifier")).toString());
    EXPECT_EQ(codes, (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("d")}));
    EXPECT_EQ(settings.recentlyLanguages().indexOf(language(QStringLiteral("d"))), 2);
    EXPECT_EQ(language(QStringLiteral("a"))
                  .linkingObjects(QStringLiteral("Settings"), QStringLiteral("recentlyLanguages"))
                  .count(),
              1);
    EXPECT_EQ(language(QStringLiteral("c"))
                  .linkingObjects(QStringLiteral("Settings"), QStringLiteral("recentlyLanguages"))
                  .count(),
              0);
    EXPECT_TRUE(store.write([&](Transaction &tx) { settings.recentlyLanguages().removeAt(tx, 5); }));
    EXPECT_EQ(settings.recentlyLanguages().size(), 3);
}
