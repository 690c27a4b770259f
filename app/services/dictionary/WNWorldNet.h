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
// thread, after the call has returned. A fallback folder serves when the first
// one cannot be opened (the downloaded package first, the system's WordNet next).
//
//   WNWorldNet wordnet(QVPackageFolders::dictionaryFolder(), WNWorldNet::kSystemFolder);
//   wordnet.lexicForWord("dogs", "en", [](const QString &json) { ... }, [](const platform::Error &) { ... });
//
// Failures: QVWordNetDatabase::FilesMissing (folder without its files),
// WordNotFound, UnsupportedLanguage (an entry in another language than English).
class WNWorldNet {
public:
    using WordsSuccess = std::function<void(const QStringList &words)>;
    using TextSuccess = std::function<void(const QString &json)>;
    using Failure = std::function<void(const platform::Error &error)>;

    // Debian's wordnet-base.
    static constexpr const char *kSystemFolder = "/usr/share/wordnet";

    explicit WNWorldNet(QString folder, QString fallback = {});
    QString folder() const { return m_folder; }
    QString fallback() const { return m_fallback; }

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

    // The database of the folder, else of the fallback; the folder's error when neither opens.
    static std::shared_ptr<const QVWordNetDatabase> open(const QString &folder, const QString &fallback,
                                                         platform::Error *error);
    // Whether open() would find one, without waiting for it (QVWordNetDatabase::isAvailable).
    static bool isAvailable(const QString &folder, const QString &fallback);

private:
    QString m_folder;
    QString m_fallback;
};
