#pragma once

#include "services/dictionary/QVWordNetDatabase.h"

#include "platform/Error.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// The offline English dictionary over the WordNet files of one folder: word
// completion and a word's entry as JSON in the shape QVLexicalMeaning reads.
// The files are read on a worker thread; every block runs once, on the main
// thread, after the call has returned.
//
//   WNWorldNet wordnet(QVPackageFolders::dictionaryFolder());
//   wordnet.lexicForWord("dogs", "en", [](const QString &json) { ... }, [](const platform::Error &) { ... });
//
// Failures: QVWordNetDatabase::FilesMissing (folder without its files),
// WordNotFound, UnsupportedLanguage (an entry in another language than English).
class WNWorldNet {
public:
    using WordsSuccess = std::function<void(const QStringList &words)>;
    using TextSuccess = std::function<void(const QString &json)>;
    using Failure = std::function<void(const platform::Error &error)>;

    explicit WNWorldNet(QString folder);
    QString folder() const { return m_folder; }

    // Dictionary words starting with the word, in the files' order; at most
    // `limit` (0: all). Another language than English succeeds at once with none.
    void autocompleteForWord(const QString &word, const QString &language, WordsSuccess success,
                             Failure failure, int limit = 0) const;
    // {"word", "partsOfSpeech": {"noun": [{"syn", "meaning", "hypernym", "hyponym"}], ...},
    //  "examples": []}, senses of every base form of the word ("dogs" -> "dog").
    void lexicForWord(const QString &word, const QString &language, TextSuccess success,
                      Failure failure) const;

    // "en", "en_GB", "en-US" and the like.
    static bool isEnglish(const QString &language);
    // The entry built synchronously; an empty map with WordNotFound when the word has no sense.
    static QVariantMap lexiconForWord(const QVWordNetDatabase &database, const QString &word,
                                      platform::Error *error = nullptr);

private:
    QString m_folder;
};
