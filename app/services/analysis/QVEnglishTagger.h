#pragma once

#include "core/models/QVSentenceDTO.h"
#include "services/dictionary/QVWordNetDatabase.h"

#include <QList>
#include <QString>

#include <memory>

// Lexical-class tags, as the part-of-speech service names them.
namespace QVLexicalClass {
inline constexpr const char *kNoun = "Noun";
inline constexpr const char *kVerb = "Verb";
inline constexpr const char *kAdjective = "Adjective";
inline constexpr const char *kAdverb = "Adverb";
inline constexpr const char *kPronoun = "Pronoun";
inline constexpr const char *kDeterminer = "Determiner";
inline constexpr const char *kPreposition = "Preposition";
inline constexpr const char *kConjunction = "Conjunction";
inline constexpr const char *kParticle = "Particle";
inline constexpr const char *kNumber = "Number";
inline constexpr const char *kInterjection = "Interjection";
inline constexpr const char *kOtherWord = "OtherWord";
} // namespace QVLexicalClass

// One word of a text and its lexical class.
struct QVTaggedToken {
    QVTextRange range;
    QString text;
    QString tag;
};

// Parts of speech of English words without context: closed classes (pronouns,
// determiners, prepositions, conjunctions, auxiliaries...) from fixed lists
// first; then the WordNet index, where each part of speech the word (or a base
// form of it, by the exception lists and suffix rules) has is scored by its
// tagged-sense count, then its sense count, and the highest wins ("runs": verb
// 29 against noun 7). Words WordNet lacks are taken as nouns (names mostly).
class QVEnglishTagger {
public:
    explicit QVEnglishTagger(std::shared_ptr<const QVWordNetDatabase> wordnet);

    QString lexicalClassOfWord(const QString &word) const;
    // The words of a text (UTF-16 ranges), each with its class.
    QList<QVTaggedToken> tagWords(const QString &text) const;

    // The class of a closed-class word (lower-case), or a null string.
    static QString closedClassOfWord(const QString &lowerCaseWord);

private:
    std::shared_ptr<const QVWordNetDatabase> m_wordnet;
};
