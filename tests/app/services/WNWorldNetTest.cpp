#include "WordNetFixtures.h"

#include "services/dictionary/WNWorldNet.h"

#include "support/EventLoop.h"

#include "platform/MainQueue.h"

#include <QJsonDocument>

namespace {

// The blocks of one request: how often each ran and whether off the main thread.
struct Calls {
    int successes = 0;
    int failures = 0;
    bool offMainThread = false;
    QStringList words;
    QString json;
    platform::Error error;

    WNWorldNet::WordsSuccess wordsBlock() {
        return [this](const QStringList &received) {
            note();
            ++successes;
            words = received;
        };
    }
    WNWorldNet::TextSuccess textBlock() {
        return [this](const QString &received) {
            note();
            ++successes;
            json = received;
        };
    }
    WNWorldNet::Failure failureBlock() {
        return [this](const platform::Error &received) {
            note();
            ++failures;
            error = received;
        };
    }
    void note() { offMainThread |= !platform::isMainThread(); }
    void settle() {
        ASSERT_TRUE(qvtest::waitUntil([this] { return successes + failures > 0; }, 10000));
        qvtest::spin(30);
        EXPECT_EQ(successes + failures, 1);
        EXPECT_FALSE(offMainThread);
    }
};

} // namespace

TEST(WNWorldNetTest, AnswersOnceOnTheMainThreadAfterReturning) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(qvtest::installWordNet(folder.path()));
    const WNWorldNet wordnet(folder.path());

    Calls completion;
    wordnet.autocompleteForWord(QStringLiteral("dogw"), QStringLiteral("en_GB"), completion.wordsBlock(),
                                completion.failureBlock(), 2);
    EXPECT_EQ(completion.successes + completion.failures, 0);
    completion.settle();
    EXPECT_EQ(completion.words, (QStringList{"dogwatch", "dogwood"}));

    Calls entry;
    wordnet.lexicForWord(QStringLiteral("Dogs"), QStringLiteral("en"), entry.textBlock(),
                         entry.failureBlock());
    EXPECT_EQ(entry.successes + entry.failures, 0);
    entry.settle();
    const QVariantMap parsed = QJsonDocument::fromJson(entry.json.toUtf8()).toVariant().toMap();
    EXPECT_EQ(parsed.value("word").toString(), QStringLiteral("Dogs"));
    EXPECT_EQ(parsed.value("partsOfSpeech").toMap().value("noun").toList().size(), 7);
}

TEST(WNWorldNetTest, EachFailureReachesItsBlock) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(qvtest::installWordNet(folder.filePath("wordnet")));
    struct Case {
        const char *name;
        QString folder;
        QString word;
        QString language;
        qint64 code;
    };
    const QList<Case> cases = {
        {"folder without files", folder.filePath("missing"), "dog", "en", QVWordNetDatabase::FilesMissing},
        {"unknown word", folder.filePath("wordnet"), "qwzxv", "en", QVWordNetDatabase::WordNotFound},
        {"another language", folder.filePath("wordnet"), "Hund", "de",
         QVWordNetDatabase::UnsupportedLanguage},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Calls calls;
        WNWorldNet(c.folder).lexicForWord(c.word, c.language, calls.textBlock(), calls.failureBlock());
        calls.settle();
        EXPECT_EQ(calls.failures, 1);
        EXPECT_EQ(calls.error.code(), c.code);
    }
    Calls completion;
    WNWorldNet(folder.filePath("missing"))
        .autocompleteForWord("dog", "en", completion.wordsBlock(), completion.failureBlock());
    completion.settle();
    EXPECT_EQ(completion.error.code(), QVWordNetDatabase::FilesMissing);
}

TEST(WNWorldNetTest, OtherLanguagesCompleteWithNothingWithoutReadingFiles) {
    // The folder does not even exist: nothing is read for another language.
    for (const char *language : {"de", "de_DE", "fr", "", "eng"}) {
        SCOPED_TRACE(language);
        Calls calls;
        WNWorldNet(QStringLiteral("/nonexistent"))
            .autocompleteForWord("dog", language, calls.wordsBlock(), calls.failureBlock());
        calls.settle();
        EXPECT_EQ(calls.successes, 1);
        EXPECT_TRUE(calls.words.isEmpty());
    }
}
