#include "services/analysis/QVEnglishTagger.h"

#include <QHash>
#include <QSet>
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
    // Adverbs WordNet mostly counts as adjectives or nouns ("very", "now").
    add(QVLexicalClass::kAdverb,
        {"not",     "there",   "how",     "when",   "where",    "why",       "very",   "too",
         "also",    "quite",   "rather",  "really", "always",   "never",     "often",  "sometimes",
         "usually", "seldom",  "already", "soon",   "again",    "almost",    "here",   "now",
         "ever",    "perhaps", "maybe",   "today",  "tomorrow", "yesterday", "tonight"});
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

QString normalised(const QString &word) {
    QString lower = word.toLower();
    lower.replace(QChar(0x2019), QLatin1Char('\'')); // typographic apostrophe
    return lower;
}

bool isTag(const QVTaggedToken &token, const char *tag) {
    return token.tag == QLatin1String(tag);
}

// Words after which the next one is a verb ("I love", "should study"): subject
// pronouns that are never objects, and modals.
bool leadsToVerb(const QString &lower) {
    static const QSet<QString> words = {
        QStringLiteral("i"),        QStringLiteral("he"),        QStringLiteral("she"),
        QStringLiteral("we"),       QStringLiteral("they"),      QStringLiteral("can"),
        QStringLiteral("could"),    QStringLiteral("will"),      QStringLiteral("would"),
        QStringLiteral("shall"),    QStringLiteral("should"),    QStringLiteral("may"),
        QStringLiteral("might"),    QStringLiteral("must"),      QStringLiteral("do"),
        QStringLiteral("does"),     QStringLiteral("did"),       QStringLiteral("don't"),
        QStringLiteral("doesn't"),  QStringLiteral("didn't"),    QStringLiteral("won't"),
        QStringLiteral("can't"),    QStringLiteral("cannot"),    QStringLiteral("couldn't"),
        QStringLiteral("wouldn't"), QStringLiteral("shouldn't"), QStringLiteral("mustn't")};
    return words.contains(lower);
}

// Determiners after which the next word is no verb ("their work").
bool leadsToNoun(const QString &lower) {
    static const QSet<QString> words = {
        QStringLiteral("the"),   QStringLiteral("a"),     QStringLiteral("an"),  QStringLiteral("my"),
        QStringLiteral("your"),  QStringLiteral("his"),   QStringLiteral("its"), QStringLiteral("our"),
        QStringLiteral("their"), QStringLiteral("every"), QStringLiteral("each")};
    return words.contains(lower);
}

// "her" before a noun or an adjective is a determiner ("her car"), else a pronoun ("saw her").
void resolvePossessive(QList<QVTaggedToken> &tokens) {
    for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].text.compare(QLatin1String("her"), Qt::CaseInsensitive) != 0)
            continue;
        if (isTag(tokens[i + 1], QVLexicalClass::kNoun) || isTag(tokens[i + 1], QVLexicalClass::kAdjective))
            tokens[i].tag = QString::fromLatin1(QVLexicalClass::kDeterminer);
    }
}

} // namespace

QVEnglishTagger::QVEnglishTagger(std::shared_ptr<const QVWordNetDatabase> wordnet)
    : m_wordnet(std::move(wordnet)) {}

QString QVEnglishTagger::closedClassOfWord(const QString &lowerCaseWord) {
    static const QHash<QString, QString> classes = buildClosedClasses();
    return classes.value(lowerCaseWord);
}

bool QVEnglishTagger::canBe(const QString &word, QVWordNetDatabase::Pos pos, bool seenInTaggedText) const {
    if (!m_wordnet)
        return false;
    for (const QString &base : m_wordnet->baseForms(pos, normalised(word))) {
        if (!seenInTaggedText || m_wordnet->indexEntry(pos, base)->taggedSenseCount > 0)
            return true;
    }
    return false;
}

bool QVEnglishTagger::isOpenClassWord(const QString &word) {
    const QString lower = normalised(word);
    return !isNumber(lower) && closedClassOfWord(lower).isNull() && !lower.endsWith(QLatin1String("n't"));
}

QString QVEnglishTagger::lexicalClassOfWord(const QString &word) const {
    QString lower = normalised(word);
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
    QList<bool> followsDirectly; // only spaces between a word and the one before it
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype start = 0;
    qsizetype previousEnd = -1;
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        const QStringView piece = QStringView(text).mid(start, next - start);
        if (hasLetterOrDigit(piece)) {
            QVTaggedToken token;
            token.range = {static_cast<quint64>(start), static_cast<quint64>(next - start)};
            token.text = piece.toString();
            token.tag = lexicalClassOfWord(token.text);
            tokens.append(token);
            followsDirectly.append(
                previousEnd >= 0 &&
                QStringView(text).mid(previousEnd, start - previousEnd).trimmed().isEmpty());
            previousEnd = next;
        }
        start = next;
    }
    applyContext(tokens, followsDirectly);
    resolvePossessive(tokens);
    return tokens;
}

// A word's own most frequent class gives way to what its neighbours call for, when
// WordNet knows the word in that class too.
void QVEnglishTagger::applyContext(QList<QVTaggedToken> &tokens, const QList<bool> &followsDirectly) const {
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        QVTaggedToken &token = tokens[i];
        if (!followsDirectly[i] || !isOpenClassWord(token.text))
            continue;
        const QString previous = normalised(tokens[i - 1].text);
        if (leadsToVerb(previous) && !isTag(token, QVLexicalClass::kVerb) && canBe(token.text, Pos::Verb))
            token.tag = QString::fromLatin1(QVLexicalClass::kVerb);
        else if (leadsToNoun(previous) && isTag(token, QVLexicalClass::kVerb) && canBe(token.text, Pos::Noun))
            token.tag = QString::fromLatin1(QVLexicalClass::kNoun);
    }
    // A noun right before another noun is its adjective when it commonly is one
    // ("red car", not the rare adjective of "chicken soup").
    for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
        if (followsDirectly[i + 1] && isTag(tokens[i], QVLexicalClass::kNoun) &&
            isTag(tokens[i + 1], QVLexicalClass::kNoun) && isOpenClassWord(tokens[i].text) &&
            isOpenClassWord(tokens[i + 1].text) && canBe(tokens[i].text, Pos::Adjective, true))
            tokens[i].tag = QString::fromLatin1(QVLexicalClass::kAdjective);
    }
}
