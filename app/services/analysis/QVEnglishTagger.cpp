#include "services/analysis/QVEnglishTagger.h"

#include <QHash>
#include <QTextBoundaryFinder>

namespace {

using Pos = QVWordNetDatabase::Pos;

QHash<QString, QString> buildClosedClasses() {
    QHash<QString, QString> classes;
    auto add = [&classes](const char *tag, std::initializer_list<const char *> words) {
        for (const char *word : words)
            classes.insert(QString::fromLatin1(word), QString::fromLatin1(tag));
    };
    add(QVLexicalClass::kPronoun,
        {"i",          "me",       "you",       "he",      "him",     "she",       "it",         "we",
         "us",         "they",     "them",      "mine",    "yours",   "hers",      "ours",       "theirs",
         "myself",     "yourself", "himself",   "herself", "itself",  "ourselves", "yourselves", "themselves",
         "her",        "who",      "whom",      "whose",   "what",    "which",     "whoever",    "whatever",
         "someone",    "somebody", "something", "anyone",  "anybody", "anything",  "everyone",   "everybody",
         "everything", "nobody",   "nothing",   "none",    "one",     "oneself",   "i'm",        "i've",
         "i'd",        "i'll",     "you're",    "you've",  "you'd",   "you'll",    "he's",       "he'd",
         "he'll",      "she's",    "she'd",     "she'll",  "it's",    "we're",     "we've",      "we'd",
         "we'll",      "they're",  "they've",   "they'd",  "they'll", "that's",    "there's"});
    add(QVLexicalClass::kDeterminer,
        {"the", "a",    "an",      "this", "that", "these", "those", "my",      "your",   "his",
         "its", "our",  "their",   "some", "any",  "no",    "every", "each",    "either", "neither",
         "all", "both", "another", "such", "much", "many",  "few",   "several", "enough"});
    add(QVLexicalClass::kPreposition,
        {"in",      "on",      "at",      "by",     "for",    "with",  "about",   "against",    "between",
         "into",    "through", "during",  "before", "after",  "above", "below",   "to",         "from",
         "up",      "down",    "of",      "off",    "over",   "under", "onto",    "upon",       "within",
         "without", "along",   "across",  "behind", "beyond", "near",  "among",   "around",     "toward",
         "towards", "until",   "till",    "since",  "via",    "per",   "despite", "throughout", "beside",
         "besides", "inside",  "outside", "except", "unlike", "than"});
    add(QVLexicalClass::kConjunction,
        {"and", "or", "but", "nor", "so", "yet", "because", "although", "though", "while", "whereas", "if",
         "unless", "whether", "as", "once", "whenever", "wherever"});
    add(QVLexicalClass::kParticle, {"n't"});
    add(QVLexicalClass::kNumber,
        {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten", "eleven",
         "twelve", "twenty", "thirty", "hundred", "thousand", "million", "billion"});
    add(QVLexicalClass::kAdverb, {"not", "there", "how", "when", "where", "why"});
    add(QVLexicalClass::kInterjection,
        {"oh", "ah", "hello", "hi", "hey", "wow", "yes", "please", "thanks", "ok"});
    // Auxiliaries and modals: WordNet knows "can" and "will" mostly as nouns.
    add(QVLexicalClass::kVerb,
        {"am",       "is",    "are",      "was",       "were",    "be",       "been",   "being",  "do",
         "does",     "did",   "have",     "has",       "had",     "can",      "could",  "may",    "might",
         "must",     "shall", "should",   "will",      "would",   "ought",    "isn't",  "aren't", "wasn't",
         "weren't",  "don't", "doesn't",  "didn't",    "haven't", "hasn't",   "hadn't", "can't",  "cannot",
         "couldn't", "won't", "wouldn't", "shouldn't", "mustn't", "mightn't", "shan't"});
    return classes;
}

const char *tagOf(Pos pos) {
    switch (pos) {
    case Pos::Noun:
        return QVLexicalClass::kNoun;
    case Pos::Verb:
        return QVLexicalClass::kVerb;
    case Pos::Adjective:
        return QVLexicalClass::kAdjective;
    case Pos::Adverb:
        return QVLexicalClass::kAdverb;
    }
    return QVLexicalClass::kOtherWord;
}

bool isNumber(const QString &word) {
    bool digit = false;
    for (const QChar c : word) {
        if (c.isDigit())
            digit = true;
        else if (c != QLatin1Char('.') && c != QLatin1Char(',') && c != QLatin1Char('-'))
            return false;
    }
    return digit;
}

bool hasLetterOrDigit(QStringView text) {
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            return true;
    }
    return false;
}

// "her" before a noun or an adjective is a determiner ("her car"), else a pronoun ("saw her").
void resolvePossessive(QList<QVTaggedToken> &tokens) {
    if (tokens.size() < 2)
        return;
    QVTaggedToken &previous = tokens[tokens.size() - 2];
    if (previous.text.compare(QLatin1String("her"), Qt::CaseInsensitive) != 0)
        return;
    const QString &tag = tokens.last().tag;
    if (tag == QLatin1String(QVLexicalClass::kNoun) || tag == QLatin1String(QVLexicalClass::kAdjective))
        previous.tag = QString::fromLatin1(QVLexicalClass::kDeterminer);
}

} // namespace

QVEnglishTagger::QVEnglishTagger(std::shared_ptr<const QVWordNetDatabase> wordnet)
    : m_wordnet(std::move(wordnet)) {}

QString QVEnglishTagger::closedClassOfWord(const QString &lowerCaseWord) {
    static const QHash<QString, QString> classes = buildClosedClasses();
    return classes.value(lowerCaseWord);
}

QString QVEnglishTagger::lexicalClassOfWord(const QString &word) const {
    QString lower = word.toLower();
    lower.replace(QChar(0x2019), QLatin1Char('\'')); // typographic apostrophe
    if (isNumber(lower))
        return QString::fromLatin1(QVLexicalClass::kNumber);
    if (const QString closed = closedClassOfWord(lower); !closed.isNull())
        return closed;
    if (lower.endsWith(QLatin1String("n't")))
        return QString::fromLatin1(QVLexicalClass::kVerb);
    if (lower.endsWith(QLatin1String("'s"))) // possessive
        lower.chop(2);
    if (!m_wordnet)
        return QString::fromLatin1(QVLexicalClass::kNoun);

    const char *best = nullptr;
    int bestTagged = -1;
    int bestSenses = -1;
    for (Pos pos : QVWordNetDatabase::kAllPos) {
        int tagged = -1;
        int senses = -1;
        for (const QString &base : m_wordnet->baseForms(pos, lower)) {
            const auto entry = m_wordnet->indexEntry(pos, base);
            tagged = std::max(tagged, entry->taggedSenseCount);
            senses = std::max(senses, entry->senseCount);
        }
        if (tagged > bestTagged || (tagged == bestTagged && senses > bestSenses)) {
            best = tagOf(pos);
            bestTagged = tagged;
            bestSenses = senses;
        }
    }
    return QString::fromLatin1(bestTagged >= 0 && best ? best : QVLexicalClass::kNoun);
}

QList<QVTaggedToken> QVEnglishTagger::tagWords(const QString &text) const {
    QList<QVTaggedToken> tokens;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype start = 0;
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        const QStringView piece = QStringView(text).mid(start, next - start);
        if (hasLetterOrDigit(piece)) {
            QVTaggedToken token;
            token.range = {static_cast<quint64>(start), static_cast<quint64>(next - start)};
            token.text = piece.toString();
            token.tag = lexicalClassOfWord(token.text);
            tokens.append(token);
            resolvePossessive(tokens);
        }
        start = next;
    }
    return tokens;
}
