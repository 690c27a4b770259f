#pragma once

#include "services/dictionary/WNWorldNet.h"

#include "core/models/QVLexicalMeaning.h"

#include "platform/Error.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>

// The dictionary pane's two questions about a word: the matching dictionary
// words (completion) and the word's entry. With the network reachable the
// backend answers; otherwise the WordNet files of the dictionary package
// (Caches/LanguagePacks/wordnet), or the system's WordNet (wordnet-base) while
// no package is downloaded; English only.
//
//   QVWorldNetDataSourceService source;
//   source.autocompleteForWord("dog", "en_GB", [](const QVariantList &words) { ... }, [](const
//   platform::Error &) {}); source.lexicalMeaningAndSynonymsForWord("dogs", "en_GB", "de_DE",
//       [](const QVLexicalMeaning &entry, const QVariantMap &synonyms, const QVariantMap &offlineEntry) { ...
//       },
//       [](const platform::Error &error) { ... });       // error may be null
//
// Every call runs exactly one of its blocks, on the main thread, after it has
// returned. A missing or empty word fails with no error and asks nobody.
class QVWorldNetDataSourceService {
public:
    using WordsSuccess = std::function<void(const QVariantList &words)>;
    // The entry; the synonyms and the offline entry are always empty here.
    using LexicalSuccess = std::function<void(const QVLexicalMeaning &entry, const QVariantMap &synonyms,
                                              const QVariantMap &offlineEntry)>;
    using Failure = std::function<void(const platform::Error &error)>;

    static constexpr int kOfflineAutocompleteLimit = 30;
    static constexpr const char *kOfflineLanguage = "en";

    QVWorldNetDataSourceService() = default;

    void autocompleteForWord(const QString &word, const QString &language, WordsSuccess success,
                             Failure failure);
    void lexicalMeaningAndSynonymsForWord(const QString &word, const QString &fromLanguage,
                                          const QString &toLanguage, LexicalSuccess success, Failure failure);

    // The offline database over the dictionary folder with the system's WordNet as fallback.
    const WNWorldNet &worldNet();
    // Where the system's WordNet is looked for (tests); WNWorldNet::kSystemFolder by default.
    void setSystemFolder(const QString &folder);

private:
    std::unique_ptr<WNWorldNet> m_worldNet;
    QString m_systemFolder = QString::fromLatin1(WNWorldNet::kSystemFolder);
};
