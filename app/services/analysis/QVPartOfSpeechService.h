#pragma once

#include "core/models/QVSentenceDTO.h"
#include "services/analysis/QVAttributedString.h"
#include "services/analysis/QVEnglishTagger.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

// Text analysis for the main view: the words of one part of speech coloured,
// sentences numbered for pairing, and the titles of the part-of-speech choices.
// Class methods without state: any thread may call them (the main view runs
// colouring and sentence splitting off the interface thread and applies the
// result on it).
//
//   QVAttributedString coloured = QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(
//       text, "en", QVPartOfSpeechService::Verb);     // theme colour, verbs red
//   coloured.applyTo(view->document());               // main thread
//   auto sentences = QVPartOfSpeechService::sensencesDTOArrayfromText(text);   // tags 1, 2, 3 ...
//
// Parts of speech are known for English only (QVEnglishTagger over WordNet);
// other languages are reported unavailable and colour nothing.
class QVPartOfSpeechService {
public:
    enum Type { None = 0, Noun = 1, Adjective = 2, Verb = 3, Pronoun = 4, Adverb = 5 };

    // Where the main view keeps the chosen types.
    static constexpr const char *kUserDefaultPartOfSpeechTypeFrom = "kUserDefaultPartOfSpeechTypeFrom";
    static constexpr const char *kUserDefaultPartOfSpeechTypeTo = "kUserDefaultPartOfSpeechTypeTo";
    static constexpr const char *kNoneTitleKey = "_loc_parts_of_speech_none";

    // YES for English codes ("en", "en_GB") when the WordNet files can be read; NO for an empty code.
    // Never waits for the files to load: until they have, their presence answers.
    static bool isPartOfSpeechDetectionAvailableForLanguage(const QString &language);

    // The whole text in the theme colour (white when dark, else black) with
    // the words of the type in red; null for a null text, empty for "".
    static QVAttributedString attributedPartsOfSpeechStringWithText(const QString &text,
                                                                    const QString &language,
                                                                    qint64 partOfSpeechType);
    // The same with the base colour given.
    static QVAttributedString attributedPartsOfSpeechStringWithText(const QString &text,
                                                                    const QString &language,
                                                                    qint64 partOfSpeechType,
                                                                    const QColor &baseColor);
    // The text, all red.
    static QVAttributedString attributedPartOfSpeechStringWithText(const QString &text);

    // The sentences holding a word, numbered 1, 2, 3 ... in text order; empty for a null or empty text.
    static QList<QVSentenceDTO> sensencesDTOArrayfromText(const QString &text);
    // The tag of the first sentence containing the range's location, else 0.
    static qint64 tagForSelectedRange(QVTextRange range, const QList<QVSentenceDTO> &sentences);

    // The tag of types 1 to 5 (QVLexicalClass names); null otherwise.
    static QString partOfSpeechTagForType(qint64 partOfSpeechType);
    // The localised title of types 1 to 5; null otherwise.
    static QString localizedPartOfSpeechTagForType(qint64 partOfSpeechType);
    // Six titles, "none" first, so that a title's index is its type.
    static QStringList partsOfSpeechTitlesArray();

    // The words of a text with their tags; none for a language without tagging.
    static QList<QVTaggedToken> taggedWords(const QString &text, const QString &language);

    // The WordNet files the offline dictionary reads (its package, else the system's);
    // a non-empty folder given here is read instead (tests). Null when none opens.
    static std::shared_ptr<const QVWordNetDatabase> wordNetDatabase();
    static void setWordNetFolder(const QString &folder);

    QVPartOfSpeechService() = delete;
};
