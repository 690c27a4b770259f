#include "OnlineServiceTest.h"
#include "WordNetFixtures.h"

#include "core/models/QVPackageFolders.h"
#include "services/dictionary/QVWorldNetDataSourceService.h"

#include "platform/NetworkStatus.h"

namespace {

using WordsCalls = Calls<QVariantList>;
using EntryCalls = Calls<QVLexicalMeaning, QVariantMap, QVariantMap>;
using FailureCalls = Calls<platform::Error>;

QStringList texts(const QVariantList &list) {
    QStringList out;
    for (const QVariant &item : list)
        out.append(item.toString());
    return out;
}

QStringList numbered(int count) {
    QStringList words;
    for (int i = 1; i <= count; ++i)
        words.append(QStringLiteral("tree%1").arg(i, 2, 10, QLatin1Char('0')));
    return words;
}

} // namespace

// The backend on loopback, the dictionary package folder under a private Caches folder.
class WorldNetDataSourceTest : public OnlineServiceTest {
protected:
    void TearDown() override {
        platform::NetworkStatus::shared().setOverride(std::nullopt);
        OnlineServiceTest::TearDown();
    }
    void setOnline(bool online) {
        platform::NetworkStatus::shared().setOverride(online ? platform::NetworkStatus::ReachableViaOther
                                                             : platform::NetworkStatus::NotReachable);
    }
    // Exactly one block ran, on the main thread, after the call returned.
    template <typename Success> void settleOnce(const Success &success, const FailureCalls &failure) {
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }, 10000));
        qvtest::spin(30);
        EXPECT_EQ(success.count + failure.count, 1);
        EXPECT_TRUE(success.allOnMain && failure.allOnMain);
    }
    QString folder() const { return QVPackageFolders::dictionaryFolder(); }

    QVWorldNetDataSourceService source;
};

TEST_F(WorldNetDataSourceTest, OfflineCompletionGivesAtMostThirtyWordsInTheDatabasesOrder) {
    setOnline(false);
    for (const int candidates : {45, 30, 12}) {
        SCOPED_TRACE(candidates);
        QDir(folder()).removeRecursively();
        qvtest::writeSmallWordNet(folder(), numbered(candidates));
        WordsCalls words;
        FailureCalls failure;
        source.autocompleteForWord("tree", "en_GB", words.block(), failure.block());
        EXPECT_EQ(words.count + failure.count, 0);
        settleOnce(words, failure);
        EXPECT_EQ(texts(words.arg<0>()), numbered(std::min(candidates, 30)));
    }
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(WorldNetDataSourceTest, OfflineEntryIsLookedUpInEnglishWhateverThePair) {
    setOnline(false);
    ASSERT_TRUE(qvtest::installWordNet(folder()));
    EntryCalls entry;
    FailureCalls failure;
    source.lexicalMeaningAndSynonymsForWord("dogs", "de_DE", "fr_FR", entry.block(), failure.block());
    settleOnce(entry, failure);
    ASSERT_EQ(entry.count, 1) << failure.arg<0>().localizedDescription().toStdString();
    const QVLexicalMeaning &meaning = entry.arg<0>();
    EXPECT_EQ(meaning.original(), QStringLiteral("dogs"));
    ASSERT_EQ(meaning.partsOfSpeech().size(), 2);
    EXPECT_EQ(meaning.partsOfSpeech()[0].name(), QStringLiteral("noun"));
    EXPECT_EQ(meaning.partsOfSpeech()[0].lexicalParts().size(), 7);
    EXPECT_TRUE(entry.arg<1>().isEmpty());
    EXPECT_TRUE(entry.arg<2>().isEmpty());

    // Other languages complete with nothing, at once.
    WordsCalls words;
    FailureCalls noFailure;
    source.autocompleteForWord("Hund", "de_DE", words.block(), noFailure.block());
    settleOnce(words, noFailure);
    EXPECT_TRUE(words.arg<0>().isEmpty());
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(WorldNetDataSourceTest, OfflineFailuresCarryTheDatabasesError) {
    setOnline(false);
    struct Case {
        const char *name;
        bool install;
        QString system; // the system's WordNet folder
        const char *word;
        qint64 code;
    };
    const QList<Case> cases = {{"no package and no system WordNet", false, folder() + "-nowhere", "dog",
                                QVWordNetDatabase::FilesMissing},
                               {"word not in the dictionary", true, folder() + "-nowhere", "qwzxv",
                                QVWordNetDatabase::WordNotFound}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder()).removeRecursively();
        if (c.install) {
            ASSERT_TRUE(qvtest::installWordNet(folder()));
        }
        source.setSystemFolder(c.system);
        EntryCalls entry;
        FailureCalls failure;
        source.lexicalMeaningAndSynonymsForWord(c.word, "en_GB", "de_DE", entry.block(), failure.block());
        settleOnce(entry, failure);
        EXPECT_EQ(failure.count, 1);
        EXPECT_EQ(failure.arg<0>().code(), c.code);
    }
}

// As the program starts: no package downloaded, Debian's wordnet-base installed.
TEST_F(WorldNetDataSourceTest, WithoutAPackageTheSystemWordNetAnswersUntilOneIsDownloaded) {
    if (!QFile::exists(qvtest::systemWordNetFolder() + "/index.noun"))
        GTEST_SKIP() << "wordnet-base is not installed";
    setOnline(false);
    QDir(folder()).removeRecursively();
    EntryCalls entry;
    FailureCalls failure;
    source.lexicalMeaningAndSynonymsForWord("dog", "en_GB", "de_DE", entry.block(), failure.block());
    settleOnce(entry, failure);
    ASSERT_EQ(entry.count, 1) << failure.arg<0>().localizedDescription().toStdString();
    EXPECT_EQ(entry.arg<0>().partsOfSpeech()[0].lexicalParts().size(), 7);
    WordsCalls words;
    source.autocompleteForWord("dog", "en_GB", words.block(), failure.block());
    settleOnce(words, failure);
    EXPECT_EQ(texts(words.arg<0>()).value(0), QStringLiteral("dog"));

    // A downloaded package takes over.
    qvtest::writeSmallWordNet(folder(), {"dogfish_only"});
    WordsCalls packaged;
    source.autocompleteForWord("dog", "en_GB", packaged.block(), failure.block());
    settleOnce(packaged, failure);
    EXPECT_EQ(texts(packaged.arg<0>()), QStringList{"dogfish only"});
}

TEST_F(WorldNetDataSourceTest, OnlineAnswersComeFromTheBackendWhole) {
    setOnline(true);
    QJsonArray many;
    for (const QString &word : numbered(45))
        many.append(word);
    backend.route("GET", "/v2/api/v3/wordDictionary", qvtest::FakeReply::json({{"result", many}}));
    backend.route(
        "POST", "/v2/api/v3/getLexicalMeaning",
        qvtest::FakeReply::json(
            {{"result", QJsonObject{{"word", "dog"},
                                    {"partsOfSpeech", QJsonObject{{"noun", QJsonArray{QJsonObject{
                                                                               {"syn", "hound"},
                                                                               {"meaning", "a dog"}}}}}}}}}));
    WordsCalls words;
    FailureCalls failure;
    source.autocompleteForWord("tree", "en_GB", words.block(), failure.block());
    settleOnce(words, failure);
    EXPECT_EQ(texts(words.arg<0>()), numbered(45)) << "the backend's list is not cut";
    const qvtest::RecordedRequest completion = backend.lastRequest();
    EXPECT_EQ(completion.queryValue("text"), QStringLiteral("tree"));
    EXPECT_EQ(completion.queryValue("lang"), QStringLiteral("en_GB"));

    EntryCalls entry;
    FailureCalls entryFailure;
    source.lexicalMeaningAndSynonymsForWord("dog", "en_GB", "de_DE", entry.block(), entryFailure.block());
    settleOnce(entry, entryFailure);
    ASSERT_EQ(entry.count, 1);
    EXPECT_EQ(entry.arg<0>().partsOfSpeech()[0].lexicalParts()[0].syn(), QStringLiteral("hound"));
    EXPECT_EQ(backend.lastRequest().jsonObject().value("to").toString(), QStringLiteral("de_DE"));
}

TEST_F(WorldNetDataSourceTest, OnlineFailuresPassThroughUnchanged) {
    setOnline(true);
    backend.route("GET", "/v2/api/v3/wordDictionary", qvtest::FakeReply::json({{"error", "down"}}, 502));
    backend.route("POST", "/v2/api/v3/getLexicalMeaning", qvtest::FakeReply::json({{"error", "down"}}, 500));
    WordsCalls words;
    FailureCalls failure;
    source.autocompleteForWord("tree", "en_GB", words.block(), failure.block());
    settleOnce(words, failure);
    EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("com.translator.network.response"));
    EXPECT_EQ(failure.arg<0>().code(), 502);

    EntryCalls entry;
    FailureCalls entryFailure;
    source.lexicalMeaningAndSynonymsForWord("dog", "en_GB", "de_DE", entry.block(), entryFailure.block());
    settleOnce(entry, entryFailure);
    EXPECT_EQ(entryFailure.arg<0>().code(), 500);
}

TEST_F(WorldNetDataSourceTest, EmptyWordFailsWithoutAnErrorAndAsksNobody) {
    ASSERT_TRUE(qvtest::installWordNet(folder()));
    for (const bool online : {true, false}) {
        SCOPED_TRACE(online ? "online" : "offline");
        setOnline(online);
        for (const QString &word : {QString(), QStringLiteral("")}) {
            WordsCalls words;
            FailureCalls failure;
            source.autocompleteForWord(word, "en_GB", words.block(), failure.block());
            settleOnce(words, failure);
            EXPECT_EQ(failure.count, 1);
            EXPECT_TRUE(failure.arg<0>().isNull());

            EntryCalls entry;
            FailureCalls entryFailure;
            source.lexicalMeaningAndSynonymsForWord(word, "en_GB", "de_DE", entry.block(),
                                                    entryFailure.block());
            settleOnce(entry, entryFailure);
            EXPECT_EQ(entryFailure.count, 1);
            EXPECT_TRUE(entryFailure.arg<0>().isNull());
        }
    }
    EXPECT_EQ(backend.requestCount(), 0);
}
