#include "WordNetFixtures.h"

#include "core/models/QVLexicalMeaning.h"
#include "services/dictionary/WNWorldNet.h"

#include <QJsonDocument>

using Pos = QVWordNetDatabase::Pos;

namespace {

std::shared_ptr<const QVWordNetDatabase> systemWordNet() {
    platform::Error error;
    auto database = QVWordNetDatabase::open(qvtest::systemWordNetFolder(), &error);
    EXPECT_TRUE(database) << error.localizedDescription().toStdString();
    return database;
}

QStringList numbered(const char *stem, int count) {
    QStringList words;
    for (int i = 1; i <= count; ++i)
        words.append(QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(i, 2, 10, QLatin1Char('0')));
    return words;
}

} // namespace

TEST(WordNetDatabaseTest, TheEntryOfDogHasTheShapeTheDictionaryEntryReads) {
    const auto wordnet = systemWordNet();
    ASSERT_TRUE(wordnet);
    platform::Error error;
    const QVariantMap entry = WNWorldNet::lexiconForWord(*wordnet, QStringLiteral("dog"), &error);
    ASSERT_FALSE(error);
    EXPECT_EQ(entry.keys(), (QStringList{"examples", "partsOfSpeech", "word"}));
    EXPECT_EQ(entry.value("word").toString(), QStringLiteral("dog"));
    EXPECT_EQ(entry.value("examples").toList().size(), 0);
    const QVariantMap parts = entry.value("partsOfSpeech").toMap();
    EXPECT_EQ(parts.keys(), (QStringList{"noun", "verb"}));
    const QVariantList nouns = parts.value("noun").toList();
    ASSERT_EQ(nouns.size(), 7);
    ASSERT_EQ(parts.value("verb").toList().size(), 1);
    const QVariantMap first = nouns.first().toMap();
    EXPECT_EQ(first.value("syn").toString(), QStringLiteral("dog,domestic dog,Canis familiaris"));
    EXPECT_EQ(first.value("hypernym").toString(), QStringLiteral("canine,domestic animal"));
    EXPECT_TRUE(first.value("hyponym").toString().split(',').contains(QStringLiteral("puppy")));
    EXPECT_TRUE(first.value("meaning").toString().startsWith(QStringLiteral("a member of the genus Canis")));
    EXPECT_EQ(parts.value("verb").toList().first().toMap().value("syn").toString().split(',').first(),
              QStringLiteral("chase"));

    // Through its JSON text into the entry model the dictionary pane shows.
    const QByteArray json = QJsonDocument::fromVariant(entry).toJson(QJsonDocument::Compact);
    const QVLexicalMeaning meaning =
        QVLexicalMeaning::initWithDictionary(QJsonDocument::fromJson(json).toVariant().toMap(), "dog");
    ASSERT_FALSE(meaning.isNull());
    EXPECT_EQ(meaning.original(), QStringLiteral("dog"));
    const QList<QVPartOfSpeech> partsOfSpeech = meaning.partsOfSpeech();
    ASSERT_EQ(partsOfSpeech.size(), 2);
    EXPECT_EQ(partsOfSpeech[0].name(), QStringLiteral("noun"));
    ASSERT_EQ(partsOfSpeech[0].lexicalParts().size(), 7);
    const QVLexicalPart sense = partsOfSpeech[0].lexicalParts().first();
    EXPECT_EQ(sense.synonymWithOrigin(QStringLiteral("dog")),
              QStringLiteral("domestic dog, Canis familiaris"));
    EXPECT_TRUE(
        sense.definition().startsWith(QStringLiteral("a member of the genus Canis probably descended")));
    EXPECT_EQ(sense.exemplesOfDefinition(), (QStringList{"\"the dog barked all night\""}));
    EXPECT_TRUE(sense.hypernymWithOrigin(QStringLiteral("dog")).contains(QStringLiteral("canine")));
}

TEST(WordNetDatabaseTest, InflectedFormsFindTheirBaseForms) {
    const auto wordnet = systemWordNet();
    ASSERT_TRUE(wordnet);
    struct Case {
        const char *word;
        Pos pos;
        QStringList bases;
    };
    const QList<Case> cases = {
        {"dogs", Pos::Noun, {"dog"}},
        {"Dogs", Pos::Noun, {"dog"}},
        {"mice", Pos::Noun, {"mouse"}},      // exception list
        {"churches", Pos::Noun, {"church"}}, // "ches" -> "ch"
        {"glass", Pos::Noun, {"glass"}},     // no "s" detached from "ss"
        {"ran", Pos::Verb, {"run"}},         // exception list
        {"running", Pos::Verb, {"run"}},
        {"hoped", Pos::Verb, {"hope", "hop"}}, // "ed" -> "e", then "ed" -> ""
        {"saw", Pos::Verb, {"see", "saw"}},    // the exception, then the word itself
        {"better", Pos::Adjective, {"good", "well", "better"}},
        {"happiest", Pos::Adjective, {"happy"}},
        {"ice cream", Pos::Noun, {"ice cream"}}, // spaces match the files' "_"
        {"xylophoneses", Pos::Noun, {}},
        {"", Pos::Noun, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(wordnet->baseForms(c.pos, QString::fromUtf8(c.word)), c.bases);
    }
    const auto run = wordnet->indexEntry(Pos::Verb, QStringLiteral("run"));
    ASSERT_TRUE(run);
    EXPECT_EQ(run->senseCount, 41);
    EXPECT_EQ(run->taggedSenseCount, 29);
    EXPECT_EQ(run->synsetOffsets.size(), 41);
}

TEST(WordNetDatabaseTest, CompletionTakesTheFirstWordsInFileOrder) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    struct Case {
        const char *name;
        QStringList nouns;
        QStringList verbs;
        QString prefix;
        int limit;
        QStringList expected;
    };
    const QStringList tree45 = numbered("tree", 45);
    const QList<Case> cases = {
        {"45 candidates give 30", tree45, {}, "tree", 30, tree45.mid(0, 30)},
        {"12 candidates give 12", numbered("tree", 12), {}, "tree", 30, numbered("tree", 12)},
        {"no limit gives all", tree45, {}, "tree", 0, tree45},
        {"parts of speech merge in order, each word once",
         {"tree01", "tree03", "treetop"},
         {"tree02", "tree03", "trek"},
         "tre",
         30,
         {"tree01", "tree02", "tree03", "treetop", "trek"}},
        {"the limit applies after merging", numbered("tree", 20), numbered("tree", 40).mid(20), "tree", 30,
         tree45.mid(0, 30)},
        {"prefix before every word", {"apple", "banana"}, {}, "a", 30, {"apple"}},
        {"prefix after every word", {"apple", "banana"}, {}, "zz", 30, {}},
        {"spaces and capitals", {"ice_cream", "ice_age", "icebox"}, {}, " Ice  C", 30, {"ice cream"}},
        {"licence lines never match", {"apple"}, {}, "  1", 30, {}},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.filePath(QString::number(round++));
        qvtest::writeSmallWordNet(path, c.nouns, c.verbs);
        const auto wordnet = QVWordNetDatabase::open(path);
        ASSERT_TRUE(wordnet);
        EXPECT_EQ(wordnet->completions(c.prefix, c.limit), c.expected);
    }
}

TEST(WordNetDatabaseTest, RealCompletionIsSortedUniqueAndCut) {
    const auto wordnet = systemWordNet();
    ASSERT_TRUE(wordnet);
    const QStringList dog = wordnet->completions(QStringLiteral("dog"), 30);
    ASSERT_EQ(dog.size(), 30);
    EXPECT_EQ(dog.first(), QStringLiteral("dog"));
    EXPECT_EQ(QStringList(dog).removeDuplicates(), 0);
    for (const QString &word : dog)
        EXPECT_TRUE(word.startsWith(QStringLiteral("dog"))) << word.toStdString();
    EXPECT_EQ(wordnet->completions(QStringLiteral("dogw"), 30),
              (QStringList{"dogwatch", "dogwood", "dogwood family", "dogwood tree"}));
}

TEST(WordNetDatabaseTest, DamagedOrMissingFilesFailWithoutCrashing) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    platform::Error error;
    EXPECT_FALSE(QVWordNetDatabase::open(folder.filePath("none"), &error));
    EXPECT_EQ(error.code(), QVWordNetDatabase::FilesMissing);

    qvtest::writeSmallWordNet(folder.path(), {"apple"});
    ASSERT_TRUE(QFile::remove(folder.filePath("data.verb")));
    error = {};
    EXPECT_FALSE(QVWordNetDatabase::open(folder.path(), &error));
    EXPECT_EQ(error.code(), QVWordNetDatabase::FilesMissing);

    // Offsets that point past the file or into a line, and index lines that end early.
    const QString damaged = folder.filePath("damaged");
    qvtest::writeSmallWordNet(damaged, {"apple"});
    QFile index(damaged + "/index.noun");
    ASSERT_TRUE(index.open(QIODevice::Append));
    index.write("broken n 5 0\nlost n 1 0 1 0 99999999\nmidline n 1 0 1 0 00000003\n");
    index.close();
    const auto wordnet = QVWordNetDatabase::open(damaged);
    ASSERT_TRUE(wordnet);
    EXPECT_FALSE(wordnet->indexEntry(Pos::Noun, "broken"));
    EXPECT_FALSE(wordnet->synset(Pos::Noun, 99999999));
    EXPECT_FALSE(wordnet->synset(Pos::Noun, 3));
    EXPECT_FALSE(wordnet->synset(Pos::Noun, -1));
    EXPECT_TRUE(wordnet->synset(Pos::Noun, 0));
    error = {};
    EXPECT_TRUE(WNWorldNet::lexiconForWord(*wordnet, QStringLiteral("lost"), &error).isEmpty());
    EXPECT_EQ(error.code(), QVWordNetDatabase::WordNotFound);
}

// Asked without reading the files: their presence answers until a load of these very files
// tells otherwise.
TEST(WordNetDatabaseTest, AvailabilityIsThePresenceOfTheFilesUntilALoadOfThemEnds) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    EXPECT_FALSE(QVWordNetDatabase::isAvailable(QString()));
    EXPECT_FALSE(QVWordNetDatabase::isAvailable(folder.filePath("none")));
    qvtest::writeSmallWordNet(folder.path(), {"apple"});
    QFile emptied(folder.filePath("index.noun"));
    ASSERT_TRUE(emptied.open(QIODevice::WriteOnly | QIODevice::Truncate));
    emptied.close();
    EXPECT_TRUE(QVWordNetDatabase::isAvailable(folder.path())) << "not loaded yet: the files are there";
    EXPECT_FALSE(QVWordNetDatabase::open(folder.path()));
    EXPECT_FALSE(QVWordNetDatabase::isAvailable(folder.path())) << "their load failed";
    qvtest::writeSmallWordNet(folder.path(), {"apple", "apricot"});
    EXPECT_TRUE(QVWordNetDatabase::isAvailable(folder.path())) << "new files, not loaded yet";
    EXPECT_TRUE(QVWordNetDatabase::open(folder.path()));
    EXPECT_TRUE(QVWordNetDatabase::isAvailable(folder.path()));
    ASSERT_TRUE(QFile::remove(folder.filePath("data.adv")));
    EXPECT_FALSE(QVWordNetDatabase::isAvailable(folder.path()));
}

TEST(WordNetDatabaseTest, ReplacedFilesAreReadAfresh) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    qvtest::writeSmallWordNet(folder.path(), {"apple"});
    const auto before = QVWordNetDatabase::open(folder.path());
    ASSERT_TRUE(before);
    EXPECT_EQ(QVWordNetDatabase::open(folder.path()), before) << "unchanged files are shared";
    // A package update writes new files in place.
    qvtest::writeSmallWordNet(folder.path(), {"apple", "apricot", "avocado"});
    const auto after = QVWordNetDatabase::open(folder.path());
    ASSERT_TRUE(after);
    EXPECT_EQ(after->completions(QStringLiteral("a"), 0), (QStringList{"apple", "apricot", "avocado"}));
    EXPECT_EQ(before->completions(QStringLiteral("a"), 0), QStringList{"apple"})
        << "a held database stays usable";
}

TEST(WordNetDatabaseTest, LinesWhoseCountsDoNotAddUpReadAsAbsentNeverAsACrash) {
    struct Case {
        const char *name;
        QByteArray indexCounts; // after "<lemma> n "; "@" stands for the data line's offset
        QByteArray dataCounts;  // after "<offset> 03 n "; empty: no data line
        bool present;
    };
    const QList<Case> cases = {
        {"pointer count near the integer maximum", "1 2147483645 @ 1 0 @", "", false},
        {"synset count near the integer maximum", "2147483647 0 1 0 @", "", false},
        {"negative count", "-1 0 1 0 @", "", false},
        {"synset count beyond the line", "3 0 1 0 @", "", false},
        {"word count of hex 40000000", "1 0 1 0 @", "40000000 word 0 000", false},
        {"pointer count of 2^31-1", "1 0 1 0 @", "01 word 0 2147483647 @ @ n 0000", false},
        {"pointer count beyond the line", "1 0 1 0 @", "01 word 0 002 @ @ n 0000", false},
        {"word count that is no number", "1 0 1 0 @", "zz word 0 000", false},
        {"counts that add up", "1 1 @ 1 0 @", "01 word 0 001 @ @ n 0000", true},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = folder.filePath(QString::number(++n));
        qvtest::writeSmallWordNet(dir, {"apple"});
        QFile data(dir + "/data.noun");
        ASSERT_TRUE(data.open(QIODevice::Append));
        const QByteArray offset = QByteArray::number(data.size()).rightJustified(8, '0');
        if (!c.dataCounts.isEmpty())
            data.write(offset + " 03 n " + QByteArray(c.dataCounts).replace("@", offset) + " | damaged  \n");
        data.close();
        QFile index(dir + "/index.noun");
        ASSERT_TRUE(index.open(QIODevice::Append));
        index.write("zebra n " + QByteArray(c.indexCounts).replace("@", offset) + "  \n");
        index.close();

        const auto wordnet = QVWordNetDatabase::open(dir);
        ASSERT_TRUE(wordnet);
        const auto entry = wordnet->indexEntry(Pos::Noun, "zebra");
        const auto synset = wordnet->synset(Pos::Noun, offset.toLongLong());
        platform::Error error;
        const QVariantMap lexicon = WNWorldNet::lexiconForWord(*wordnet, QStringLiteral("zebra"), &error);
        EXPECT_EQ(lexicon.isEmpty(), !c.present);
        if (!c.present) {
            EXPECT_FALSE(entry && synset);
            EXPECT_EQ(error.code(), QVWordNetDatabase::WordNotFound);
            continue;
        }
        ASSERT_TRUE(entry && synset);
        EXPECT_EQ(entry->synsetOffsets, QList<qint64>{offset.toLongLong()});
        EXPECT_EQ(synset->words, QStringList{"word"});
        ASSERT_EQ(synset->pointers.size(), 1);
        EXPECT_EQ(synset->pointers.first().offset, offset.toLongLong());
        EXPECT_TRUE(wordnet->indexEntry(Pos::Noun, "apple")) << "the good lines around stay readable";
    }
}
