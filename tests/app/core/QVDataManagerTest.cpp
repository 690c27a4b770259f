#include "HistoryTestStore.h"

#include "support/EventLoop.h"

#include "core/models/QVLexicalMeaning.h"
#include "core/models/QVPackagesMapper.h"

using platform::Key;

// Saving

TEST_F(HistoryStoreTest, SaveStoresEveryFieldWithEmptyTransliterationsAndSynchronised) {
    const QVTranslationRealm stored = save(700, "hello", "hallo", 700.25);
    ASSERT_TRUE(stored.isValid());
    EXPECT_EQ(stored.idTranslation(), 700);
    EXPECT_EQ(stored.translationType(), 1);
    EXPECT_EQ(stored.languageFrom(), english);
    EXPECT_EQ(stored.languageTo(), german);
    EXPECT_EQ(stored.originalText(), QStringLiteral("hello"));
    EXPECT_EQ(stored.translatedText(), QStringLiteral("hallo"));
    EXPECT_EQ(stored.isFavorite(), false);
    EXPECT_EQ(stored.isSynch(), true);
    EXPECT_DOUBLE_EQ(*stored.createdDate(), 700.25);
    EXPECT_EQ(stored.transliterationOriginalText(), QStringLiteral(""));
    EXPECT_FALSE(stored.transliterationOriginalText().isNull());
    EXPECT_FALSE(stored.transliterationTranslatedText().isNull());

    const QVTranslationRealm withTranslit = save(701, "thanks", "danke", 701, true, "θænks", "daŋkə");
    EXPECT_EQ(withTranslit.transliterationOriginalText(), QStringLiteral("θænks"));
    EXPECT_EQ(withTranslit.transliterationTranslatedText(), QStringLiteral("daŋkə"));
    EXPECT_EQ(withTranslit.isFavorite(), true);
}

TEST_F(HistoryStoreTest, SavingTheSameTranslationAgainUpdatesItInPlace) {
    save(800, "hello", "hallo", 800);
    save(800, "hello", "hallo", 800.5, true, "hə", "ha");
    ASSERT_EQ(count(QVTranslationRealm::storeClassName()), 1);
    EXPECT_EQ(byId(800).isFavorite(), true);
    EXPECT_EQ(byId(800).transliterationTranslatedText(), QStringLiteral("ha"));
    EXPECT_DOUBLE_EQ(*byId(800).createdDate(), 800.5);
}

TEST_F(HistoryStoreTest, TwoTranslationsInTheSameSecondAreBothKept) {
    save(900, "hello", "hallo", 900.1);
    const QVTranslationRealm second = save(900, "good night", "gute Nacht", 900.7);
    const QVTranslationRealm third = save(900, "tree", "Baum", 900.9);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 3);
    EXPECT_EQ(byId(900).originalText(), QStringLiteral("hello"));
    EXPECT_EQ(second.idTranslation(), 901);
    EXPECT_EQ(third.idTranslation(), 902);
    EXPECT_EQ(byId(902).translatedText(), QStringLiteral("Baum"));
}

TEST_F(HistoryStoreTest, ResavingATranslationMovedToTheNextFreeIdUpdatesItWhereverItIsStored) {
    save(900, "hello", "hallo", 900.1);
    save(900, "good night", "gute Nacht", 900.7); // moved to 901
    save(900, "tree", "Baum", 900.9);             // moved to 902
    const struct {
        const char *original;
        const char *translated;
        qint64 storedAt;
    } resaves[] = {{"good night", "gute Nacht", 901}, {"tree", "Baum", 902}, {"hello", "hallo", 900}};
    for (const auto &resave : resaves) {
        SCOPED_TRACE(resave.original);
        const QVTranslationRealm again =
            save(900, resave.original, resave.translated, 900.95, true, "t", "u");
        EXPECT_EQ(again.idTranslation(), resave.storedAt);
        EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 3);
        EXPECT_EQ(byId(resave.storedAt).isFavorite(), true);
        EXPECT_EQ(byId(resave.storedAt).transliterationTranslatedText(), QStringLiteral("u"));
    }

    // Past the gap a deletion leaves, the moved record is still the one updated.
    ASSERT_FALSE(manager().removeObjectFromHistory(byId(900)));
    const QVTranslationRealm pastGap = save(900, "tree", "Baum", 900.99);
    EXPECT_EQ(pastGap.idTranslation(), 902);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 2);
    // A new translation of that second takes the free identifier.
    EXPECT_EQ(save(900, "moon", "Mond", 900.2).idTranslation(), 900);
}

TEST_F(HistoryStoreTest, SavingUnderABackendIdUpdatesThatRecordNeverAnother) {
    using Id = QVDataManager::TranslationId;
    save(42, "cat", "Katze", 42);
    const auto saveFavourite = [&](const char *original, const char *translated) {
        QVTranslationRealm stored;
        EXPECT_FALSE(manager().saveTranslationWithIdTranslation(
            Id::backend(42), 1, english, german, true, original, translated, {}, {}, 500,
            [&](const QVTranslationRealm &r) { stored = r; }));
        return stored;
    };
    // The favourite the backend knows as 42 is stored as 42, whatever held it.
    EXPECT_EQ(saveFavourite("dog", "Hund").idTranslation(), 42);
    EXPECT_EQ(saveFavourite("dog", "Hund!").idTranslation(), 42);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 1);
    EXPECT_EQ(byId(42).translatedText(), QStringLiteral("Hund!"));
    EXPECT_EQ(byId(42).isFavorite(), true);
    EXPECT_TRUE(byId(43).isNull());
}

TEST_F(HistoryStoreTest, HistorySavesLinkTheCatalogueLanguageAndNeverRewriteIt) {
    write([&](platform::Transaction &tx) {
        english.set(tx, "imageFile", "gb.png");
        english.set(
            tx, "languageModes",
            QVariantMap{{"translation", true}, {"offlineTranslate", true}, {"speechSynthesis", true}});
    });
    // What a caller may hold: a copy made outside the store, with none of the catalogue's details.
    const auto unsavedEnglish = [] {
        return QVLanguageRealm(platform::Object::unmanaged(
            QVLanguageRealm::schema(), {{"localeIdentifier", "en_GB"}, {"languageName", "Copy"}}));
    };
    const struct {
        const char *path;
        std::function<platform::Error()> save;
    } paths[] = {
        {"with arguments",
         [&] {
             return manager().saveTranslationWithIdTranslation(1, 1, unsavedEnglish(), german, false, "a",
                                                               "b", {}, {}, 1);
         }},
        {"from a dictionary with a record",
         [&] {
             return manager().saveTranslationFromDictionary(
                 {{"idTranslation", 2},
                  {"originalText", "c"},
                  {"languageFrom", QVariant::fromValue<platform::Object>(unsavedEnglish())}},
                 {});
         }},
        {"from a dictionary with a nested dictionary",
         [&] {
             return manager().saveTranslationFromDictionary(
                 {{"idTranslation", 3},
                  {"originalText", "d"},
                  {"languageFrom", QVariantMap{{"localeIdentifier", "en_GB"}, {"languageName", "Map"}}}},
                 {});
         }},
        {"in bulk",
         [&] {
             return manager().saveTranslations(
                 {QVTranslationRealm(platform::Object::unmanaged(
                     QVTranslationRealm::schema(),
                     {{"idTranslation", 4},
                      {"originalText", "e"},
                      {"languageFrom", QVariant::fromValue<platform::Object>(unsavedEnglish())}}))},
                 {});
         }},
    };
    for (const auto &path : paths) {
        SCOPED_TRACE(path.path);
        const platform::Error error = path.save();
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
        EXPECT_EQ(count(QVLanguageRealm::storeClassName()), 2);
        EXPECT_EQ(english.languageName(), QStringLiteral("English"));
        EXPECT_EQ(english.value("imageFile"), QVariant(QStringLiteral("gb.png")));
        ASSERT_FALSE(english.languageModes().isNull());
        EXPECT_TRUE(english.languageModes().offlineTranslate());
        EXPECT_EQ(count(QVLanguageMode::storeClassName()), 1);
    }
    for (qint64 id = 1; id <= 4; ++id)
        EXPECT_EQ(byId(id).languageFrom(), english) << id;
}

TEST_F(HistoryStoreTest, SavesNamingALanguageOutsideTheCatalogueAreRefusedWhole) {
    save(7, "kept", "behalten", 7);
    const QVLanguageRealm klingon(platform::Object::unmanaged(
        QVLanguageRealm::schema(), {{"localeIdentifier", "tlh_XX"}, {"languageName", "Klingon"}}));
    const QVLanguageRealm nameless(platform::Object::unmanaged(QVLanguageRealm::schema()));
    const struct {
        const char *path;
        std::function<platform::Error()> save;
    } paths[] = {
        {"with arguments",
         [&] {
             return manager().saveTranslationWithIdTranslation(8, 1, english, klingon, false, "a", "b", {},
                                                               {}, 8);
         }},
        {"with a language without identifier",
         [&] {
             return manager().saveTranslationWithIdTranslation(8, 1, nameless, german, false, "a", "b", {},
                                                               {}, 8);
         }},
        {"from a dictionary",
         [&] {
             return manager().saveTranslationFromDictionary({{"idTranslation", 7}, {"languageTo", "tlh_XX"}},
                                                            {});
         }},
        {"in bulk, after a good record",
         [&] {
             const auto record = [&](qint64 id, const QVLanguageRealm &to) {
                 return QVTranslationRealm(platform::Object::unmanaged(
                     QVTranslationRealm::schema(),
                     {{"idTranslation", id}, {"languageTo", QVariant::fromValue<platform::Object>(to)}}));
             };
             return manager().saveTranslations({record(9, german), record(10, klingon)}, {});
         }},
    };
    for (const auto &path : paths) {
        SCOPED_TRACE(path.path);
        const platform::Error error = path.save();
        EXPECT_EQ(error.domain(), QString::fromLatin1(QVDataManager::kErrorDomain));
        EXPECT_EQ(error.code(), QVDataManager::NotInCatalogue);
        EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 1);
        EXPECT_EQ(byId(7).originalText(), QStringLiteral("kept"));
        EXPECT_EQ(count(QVLanguageRealm::storeClassName()), 2);
    }
}

TEST_F(HistoryStoreTest, SaveRefusesMissingLanguageOrTextAndStoresNothing) {
    bool called = false;
    const platform::Error error =
        manager().saveTranslationWithIdTranslation(5, 1, QVLanguageRealm(), german, false, "a", "b", {}, {},
                                                   5, [&](const QVTranslationRealm &) { called = true; });
    EXPECT_TRUE(error);
    EXPECT_TRUE(
        manager().saveTranslationWithIdTranslation(6, 1, english, german, false, QString(), "b", {}, {}, 6));
    EXPECT_TRUE(manager().saveTranslationFromDictionary({{"originalText", "x"}}, {}));
    EXPECT_FALSE(called);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 0);
}

TEST_F(HistoryStoreTest, SaveJoinsTheCallersTransaction) {
    // The caller's rollback takes the saved translation with it.
    const platform::Error error = store.write([&](platform::Transaction &) {
        save(10, "a", "b", 10);
        EXPECT_TRUE(byId(10).isValid());
        throw std::runtime_error("caller gives up");
    });
    EXPECT_TRUE(error);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 0);

    write([&](platform::Transaction &) { save(11, "a", "b", 11); });
    EXPECT_TRUE(byId(11).isValid());
}

TEST_F(HistoryStoreTest, SaveFromDictionaryReplacesTheRecordWithTheSameIdentifier) {
    save(20, "hello", "hallo", 20, true, "hə", "ha");
    QVTranslationRealm stored;
    ASSERT_FALSE(manager().saveTranslationFromDictionary(
        {{"idTranslation", 20},
         {"originalText", "bye"},
         {"translatedText", "tschüss"},
         {"languageFrom", QVariant::fromValue<platform::Object>(german)}},
        [&](const QVTranslationRealm &record) { stored = record; }));
    EXPECT_EQ(stored, byId(20));
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 1);
    EXPECT_EQ(byId(20).originalText(), QStringLiteral("bye"));
    EXPECT_EQ(byId(20).languageFrom(), german);
    EXPECT_TRUE(byId(20).transliterationTranslatedText().isNull());
}

// Re-keying

TEST_F(HistoryStoreTest, RekeyingLeavesOneFavouriteWithEveryFieldCopied) {
    const QVTranslationRealm local = save(30, "house", "Haus", 30.5, false, "haʊs", "haʊs");
    write([&](platform::Transaction &tx) {
        local.setDetectedLanguage(tx, "en");
        local.setTranslatedBy(tx, "offline");
        local.setLearnCount(tx, 4);
        local.setDireaction(tx, 2);
        local.setTranslationViaCompany(tx, "engine");
        local.setStoragePicture(tx, QByteArray("png"));
        local.setIsSaveICloud(tx, true);
        local.setIsSynch(tx, false);
        local.setLexicalMeaning(
            tx, QVLexicalMeaning(tx.create(QVLexicalMeaning::storeClassName(), {{"original", "house"}})));
    });

    QVTranslationRealm rekeyed;
    ASSERT_FALSE(
        manager().updateTranslationRealm(local, 5551, [&](const QVTranslationRealm &r) { rekeyed = r; }));
    ASSERT_EQ(count(QVTranslationRealm::storeClassName()), 1);
    EXPECT_FALSE(local.isValid());
    EXPECT_EQ(rekeyed, byId(5551));
    EXPECT_EQ(rekeyed.isFavorite(), true);
    EXPECT_EQ(rekeyed.isSynch(), true);
    EXPECT_EQ(rekeyed.translationType(), 1);
    EXPECT_EQ(rekeyed.languageFrom(), english);
    EXPECT_EQ(rekeyed.languageTo(), german);
    EXPECT_EQ(rekeyed.originalText(), QStringLiteral("house"));
    EXPECT_EQ(rekeyed.translatedText(), QStringLiteral("Haus"));
    EXPECT_EQ(rekeyed.transliterationOriginalText(), QStringLiteral("haʊs"));
    EXPECT_DOUBLE_EQ(*rekeyed.createdDate(), 30.5);
    EXPECT_EQ(rekeyed.detectedLanguage(), QStringLiteral("en"));
    EXPECT_EQ(rekeyed.translatedBy(), QStringLiteral("offline"));
    EXPECT_EQ(rekeyed.learnCount(), 4);
    EXPECT_EQ(rekeyed.direaction(), 2);
    EXPECT_EQ(rekeyed.translationViaCompany(), QStringLiteral("engine"));
    EXPECT_EQ(rekeyed.storagePicture(), QByteArray("png"));
    EXPECT_EQ(rekeyed.isSaveICloud(), true);
    // The dictionary entry moves with the record rather than going with the old one.
    EXPECT_EQ(rekeyed.lexicalMeaning().original(), QStringLiteral("house"));
    EXPECT_EQ(count(QVLexicalMeaning::storeClassName()), 1);
}

TEST_F(HistoryStoreTest, RekeyingStoresMissingTransliterationsAsEmptyText) {
    // An online result is written by the mapping, without transliterations.
    QVTranslationRealm online;
    write([&](platform::Transaction &tx) {
        online = QVTranslationRealm(
            tx.create(QVTranslationRealm::storeClassName(),
                      {{"idTranslation", 31}, {"originalText", "dog"}, {"translatedText", "Hund"}}));
    });
    QVTranslationRealm rekeyed;
    ASSERT_FALSE(
        manager().updateTranslationRealm(online, 5552, [&](const QVTranslationRealm &r) { rekeyed = r; }));
    EXPECT_EQ(rekeyed.transliterationOriginalText(), QStringLiteral(""));
    EXPECT_FALSE(rekeyed.transliterationOriginalText().isNull());
    EXPECT_FALSE(rekeyed.transliterationTranslatedText().isNull());
}

TEST_F(HistoryStoreTest, RekeyingUnderItsOwnIdentifierKeepsTheRecord) {
    const QVTranslationRealm local = save(40, "cat", "Katze", 40);
    QVTranslationRealm result;
    ASSERT_FALSE(
        manager().updateTranslationRealm(local, 40, [&](const QVTranslationRealm &r) { result = r; }));
    EXPECT_TRUE(local.isValid());
    EXPECT_EQ(result, local);
    EXPECT_EQ(byId(40).isFavorite(), true);
    EXPECT_EQ(byId(40).originalText(), QStringLiteral("cat"));
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 1);
}

TEST_F(HistoryStoreTest, RekeyingARemovedRecordFailsWithoutWriting) {
    const QVTranslationRealm local = save(41, "cat", "Katze", 41);
    ASSERT_FALSE(manager().removeObjectFromHistory(local));
    bool called = false;
    EXPECT_TRUE(
        manager().updateTranslationRealm(local, 77, [&](const QVTranslationRealm &) { called = true; }));
    EXPECT_FALSE(called);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 0);
}

TEST_F(HistoryStoreTest, RekeyingOntoTheSameTranslationMergesIntoOneRecord) {
    // The favourite was downloaded under the backend's id and also saved locally.
    const QVTranslationRealm downloaded = save(77, "owl", "Eule", 10, true);
    write([&](platform::Transaction &tx) {
        downloaded.setLearnCount(tx, 6);
        downloaded.setDetectedLanguage(tx, "en");
    });
    const QVTranslationRealm local = save(700000, "owl", "Eule", 700000.5, false, "aʊl", "ɔʏlə");
    QVTranslationRealm merged;
    ASSERT_FALSE(
        manager().updateTranslationRealm(local, 77, [&](const QVTranslationRealm &r) { merged = r; }));
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 1);
    EXPECT_EQ(merged, byId(77));
    EXPECT_FALSE(local.isValid());
    EXPECT_EQ(merged.isFavorite(), true);
    EXPECT_EQ(merged.transliterationTranslatedText(), QStringLiteral("ɔʏlə")); // the re-keyed record's
    EXPECT_DOUBLE_EQ(*merged.createdDate(), 700000.5);
    EXPECT_EQ(merged.learnCount(), 6); // empty in the re-keyed record: the other's kept
    EXPECT_EQ(merged.detectedLanguage(), QStringLiteral("en"));
}

TEST_F(HistoryStoreTest, RekeyingOntoAnIdHeldByAnotherTranslationIsRefusedAndWritesNothing) {
    const QVTranslationRealm other = save(88, "fox", "Fuchs", 88, true);
    const QVTranslationRealm local = save(800000, "wolf", "Wolf", 800000);
    bool called = false;
    const platform::Error error =
        manager().updateTranslationRealm(local, 88, [&](const QVTranslationRealm &) { called = true; });
    EXPECT_EQ(error.domain(), QString::fromLatin1(QVDataManager::kErrorDomain));
    EXPECT_EQ(error.code(), QVDataManager::IdentifierTaken);
    EXPECT_FALSE(called);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 2);
    EXPECT_EQ(byId(88).originalText(), QStringLiteral("fox"));
    EXPECT_EQ(byId(800000).originalText(), QStringLiteral("wolf"));
    EXPECT_EQ(byId(800000).isFavorite(), false);
}

// Favourites, lookup, order

TEST_F(HistoryStoreTest, SetFavoriteChangesStoredRecordsAndIgnoresMissingOnes) {
    const QVTranslationRealm stored = save(50, "dog", "Hund", 50);
    ASSERT_FALSE(manager().setFavorite(true, stored));
    EXPECT_EQ(byId(50).isFavorite(), true);
    ASSERT_FALSE(manager().setFavorite(false, stored));
    EXPECT_EQ(byId(50).isFavorite(), false);

    EXPECT_FALSE(manager().setFavorite(true, QVTranslationRealm()));
    ASSERT_FALSE(manager().removeObjectFromHistory(stored));
    EXPECT_FALSE(manager().setFavorite(true, stored));
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 0);
}

TEST_F(HistoryStoreTest, LookupAndNewestFirstWalk) {
    save(100, "one", "eins", 100);
    save(300, "three", "drei", 300);
    save(200, "two", "zwei", 200);
    EXPECT_EQ(manager().getRealObjectById(200).originalText(), QStringLiteral("two"));
    EXPECT_TRUE(manager().getRealObjectById(999).isNull());

    const QVTranslationRealm newest = manager().getNextFromObject();
    EXPECT_EQ(newest.idTranslation(), 300);
    const QVTranslationRealm middle = manager().getNextFromObject(newest);
    EXPECT_EQ(middle.idTranslation(), 200);
    const QVTranslationRealm oldest = manager().getNextFromObject(middle);
    EXPECT_EQ(oldest.idTranslation(), 100);
    EXPECT_TRUE(manager().getNextFromObject(oldest).isNull());

    ASSERT_FALSE(manager().removeObjectFromHistory(middle));
    EXPECT_TRUE(manager().getNextFromObject(middle).isNull()); // no longer stored
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 2);
}

TEST_F(HistoryStoreTest, EmptyHistoryHasNoNewest) {
    EXPECT_TRUE(manager().getNextFromObject().isNull());
}

// Bulk operations

TEST_F(HistoryStoreTest, SaveTranslationsAddsOrUpdatesAllThenCompletes) {
    save(60, "old", "alt", 60);
    auto make = [&](qint64 id, const char *text) {
        return QVTranslationRealm(platform::Object::unmanaged(
            QVTranslationRealm::schema(),
            {{"idTranslation", id}, {"originalText", text}, {"createdDate", double(id)}}));
    };
    bool completed = false;
    ASSERT_FALSE(manager().saveTranslations({make(60, "new"), make(61, "other")}, [&] { completed = true; }));
    EXPECT_TRUE(completed);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 2);
    EXPECT_EQ(byId(60).originalText(), QStringLiteral("new"));
}

TEST_F(HistoryStoreTest, RemovalsAndLearnReset) {
    save(70, "a", "A", 70, true);
    save(71, "b", "B", 71);
    save(72, "c", "C", 72);
    write([&](platform::Transaction &tx) {
        byId(70).setLearnCount(tx, 3);
        byId(71).setLearnCount(tx, 5);
    });
    ASSERT_FALSE(manager().resetLearnProgress());
    EXPECT_EQ(byId(70).learnCount(), 0);
    EXPECT_EQ(byId(71).learnCount(), 0);

    bool removedSome = false;
    ASSERT_FALSE(
        manager().removeTranslationWithPredicate(Key("isFavorite") == false, [&] { removedSome = true; }));
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 1);
    EXPECT_FALSE(removedSome); // queued on the main thread, not run inline
    EXPECT_TRUE(qvtest::waitUntil([&] { return removedSome; }));
    EXPECT_TRUE(byId(70).isValid());

    bool removedAll = false;
    ASSERT_FALSE(manager().removeAllTranslationAndSuccess([&] { removedAll = true; }));
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 0);
    EXPECT_TRUE(qvtest::waitUntil([&] { return removedAll; }));

    save(73, "d", "D", 73);
    ASSERT_FALSE(manager().removeAllTranslation());
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 0);
}

// Unknown words and packages

TEST_F(HistoryStoreTest, UnknownWordsAreKeyedByWordAndCleared) {
    ASSERT_FALSE(manager().saveUnknownWords({QVUnknownWord::initWithWord("Zugzwang", "en"),
                                             QVUnknownWord::initWithWord("Schadenfreude", "en"),
                                             QVUnknownWord::initWithWord("", "en")}));
    ASSERT_FALSE(manager().saveUnknownWords({QVUnknownWord::initWithWord("Zugzwang", "fr")}));
    EXPECT_EQ(count(QVUnknownWord::storeClassName()), 2);
    EXPECT_EQ(QVUnknownWord(store.objectForPrimaryKey(QVUnknownWord::storeClassName(), "Zugzwang")).to(),
              QStringLiteral("fr"));
    ASSERT_FALSE(manager().removeAllUnknownWords());
    EXPECT_EQ(count(QVUnknownWord::storeClassName()), 0);
}

TEST_F(HistoryStoreTest, RemoveAllPackagesLeavesNoPackageRecord) {
    ASSERT_FALSE(QVPackagesMapper::createRealmObject(jsonArray(R"([
        {"lang": "de", "local_lang": "Deutsch", "type": "opennmt-desktop", "model": {"size": 1048576, "url": "de.zip"}},
        {"lang": "de", "local_lang": "Deutsch", "type": "wordnet", "model": {"size": 1048576, "url": "wn.zip"}}])")));
    ASSERT_EQ(count(QVPackagesRealm::storeClassName()), 1);
    ASSERT_EQ(count(QVLanguagePackageRealm::storeClassName()), 2);
    ASSERT_FALSE(manager().removeAllPackages());
    EXPECT_EQ(count(QVPackagesRealm::storeClassName()), 0);
    EXPECT_EQ(count(QVLanguagePackageRealm::storeClassName()), 0);
}

// Conversation messages

TEST_F(HistoryStoreTest, ChatMessagesAreSavedConfirmedListedAndCleared) {
    ASSERT_FALSE(manager().saveChatMessagesFromHistory(jsonArray(R"([
        {"time": 3, "uuid": "c", "codeChat": "room", "message": "third"},
        {"time": 1, "uuid": "a", "codeChat": "room", "message": "first"},
        {"time": 2, "uuid": "b", "codeChat": "other", "message": "elsewhere"}])")));
    EXPECT_EQ(count(QVChatMessageRealm::storeClassName()), 3);

    QString uuid;
    ASSERT_FALSE(manager().saveChatMessage({{"messageTime", 4}, {"messageUUID", "d"}, {"message", "hi"}},
                                           "room", [&](const QString &id) { uuid = id; }));
    EXPECT_EQ(uuid, QStringLiteral("d"));
    ASSERT_FALSE(
        manager().saveUnconfirmedChatMessage({{"time", 5}, {"uuid", "e"}, {"message", "sent"}}, "room"));
    ASSERT_FALSE(manager().saveChatActionChatMessage({{"messageTime", 6}, {"messageUUID", "f"}, {"type", 10}},
                                                     "room", [&](const QString &id) { uuid = id; }));
    EXPECT_EQ(uuid, QStringLiteral("f"));

    QStringList inRoom;
    for (const auto &m : manager().chatMessagesFromChat("room").toList<QVChatMessageRealm>())
        inRoom.append(m.messageUUID());
    EXPECT_EQ(inRoom, QStringList({"a", "c", "d", "e", "f"}));

    // Only the sent message is pending: history messages carry no flag and were delivered.
    QStringList pending;
    for (const auto &m : manager().getNotDeliveredMessagesForChat("room").toList<QVChatMessageRealm>())
        pending.append(m.messageUUID());
    EXPECT_EQ(pending, QStringList({"e"}));

    ASSERT_FALSE(manager().saveConfirmedChatMessage({{"time", 5}, {"uuid", "e"}, {"delay", 7}}, "room"));
    const auto afterConfirm = manager().getNotDeliveredMessagesForChat("room").toList<QVChatMessageRealm>();
    EXPECT_TRUE(std::none_of(afterConfirm.begin(), afterConfirm.end(),
                             [](const auto &m) { return m.messageUUID() == "e"; }));
    // A confirmation for an unknown message changes nothing.
    ASSERT_FALSE(manager().saveConfirmedChatMessage({{"time", 99}, {"uuid", "zz"}}, "room"));
    EXPECT_EQ(count(QVChatMessageRealm::storeClassName()), 6);

    // A message without time or UUID cannot be told apart and is refused.
    EXPECT_TRUE(manager().saveChatMessage({{"message", "no id"}}, "room", {}));

    bool cleared = false;
    ASSERT_FALSE(manager().removeAllChatMessageAndSucces([&] { cleared = true; }));
    EXPECT_EQ(count(QVChatMessageRealm::storeClassName()), 0);
    EXPECT_TRUE(qvtest::waitUntil([&] { return cleared; }));
}
