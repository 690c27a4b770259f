#pragma once

#include "core/models/QVLexicalMeaning.h"

#include "platform/Error.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>

// What the dictionary pane asks about a word: its related words, its entry,
// and the backend's plain translations. The application's source answers
// from the backend when the network is reachable and from the WordNet files
// otherwise; tests answer by hand. Each call runs exactly one of its blocks,
// on the main thread, after it has returned.
//
//   std::shared_ptr<QVMDictionaryDataSource> source = QVMDictionaryDataSource::makeDefault();
//   source->autocompleteForWord("dog", "en_GB", [](const QVariantList &words) { ... }, onError);
class QVMDictionaryDataSource {
public:
    using WordsSuccess = std::function<void(const QVariantList &words)>;
    using LexicalSuccess = std::function<void(const QVLexicalMeaning &entry, const QVariantMap &synonyms,
                                              const QVariantMap &offlineEntry)>;
    using ResultSuccess = std::function<void(const QVariant &result)>;
    using Failure = std::function<void(const platform::Error &error)>;

    virtual ~QVMDictionaryDataSource() = default;
    virtual void autocompleteForWord(const QString &word, const QString &language, WordsSuccess success,
                                     Failure failure) = 0;
    virtual void lexicalMeaningAndSynonymsForWord(const QString &word, const QString &fromLanguage,
                                                  const QString &toLanguage, LexicalSuccess success,
                                                  Failure failure) = 0;
    virtual void wordDictionaryMeaningForText(const QString &text, const QString &fromLanguage,
                                              const QString &toLanguage, ResultSuccess success,
                                              Failure failure) = 0;

    // The backend and WordNet source of the application.
    static std::shared_ptr<QVMDictionaryDataSource> makeDefault();
};
