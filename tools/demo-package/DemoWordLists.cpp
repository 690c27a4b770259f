#include "demo-package/DemoWordLists.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

#include <algorithm>

namespace {

// Everyday words a sentence needs, which a dictionary of headwords ranks badly.
const QList<QPair<QString, QString>> kGermanBasics = {
    {"der", "the"}, {"die", "the"},    {"das", "the"},    {"ein", "a"},     {"eine", "a"},
    {"ist", "is"},  {"und", "and"},    {"nicht", "not"},  {"ich", "I"},     {"du", "you"},
    {"er", "he"},   {"sie", "she"},    {"es", "it"},      {"wir", "we"},    {"mit", "with"},
    {"auf", "on"},  {"zu", "to"},      {"von", "of"},     {"für", "for"},   {"ja", "yes"},
    {"nein", "no"}, {"gut", "good"},   {"sind", "are"},   {"hat", "has"},   {"in", "in"},
    {"aus", "out"}, {"vor", "before"}, {"nach", "after"}, {"kann", "can"},  {"wird", "will"},
    {"war", "was"}, {"haben", "have"}, {"habe", "have"},  {"hier", "here"}, {"was", "what"},
    {"wer", "who"}, {"wo", "where"},   {"wie", "how"},    {"sehr", "very"},
};
const QList<QPair<QString, QString>> kEnglishBasics = {
    {"the", "die"},   {"a", "ein"},    {"is", "ist"},   {"and", "und"},    {"not", "nicht"}, {"I", "ich"},
    {"you", "du"},    {"he", "er"},    {"she", "sie"},  {"it", "es"},      {"we", "wir"},    {"with", "mit"},
    {"on", "auf"},    {"to", "zu"},    {"of", "von"},   {"for", "für"},    {"yes", "ja"},    {"no", "nein"},
    {"good", "gut"},  {"are", "sind"}, {"has", "hat"},  {"have", "haben"}, {"in", "in"},     {"can", "kann"},
    {"will", "wird"}, {"was", "war"},  {"that", "das"}, {"be", "sein"},    {"out", "aus"},   {"by", "von"},
};

QString clean(QString text) {
    static const QRegularExpression notes(QStringLiteral("\\{[^}]*\\}|\\[[^\\]]*\\]|\\([^)]*\\)|<[^>]*>"));
    return text.remove(notes).simplified();
}

// Letters of every script: without Unicode properties the class is ASCII only, and "Tür" or
// "grün" would be cut apart at their umlauts.
constexpr auto kLetters = QRegularExpression::UseUnicodePropertiesOption;

bool isWord(const QString &text) {
    static const QRegularExpression word(QStringLiteral("^[[:alpha:]]{2,}$"), kLetters);
    return word.match(text).hasMatch();
}

QStringList words(const QString &text) {
    static const QRegularExpression separators(QStringLiteral("[^[:alpha:]]+"), kLetters);
    return text.split(separators, Qt::SkipEmptyParts);
}

struct Side {
    QHash<QString, int> frequency; // words of the dictionary's text, lower case
    int of(const QString &word) const { return frequency.value(word.toLower()); }
    QHash<QString, QHash<QString, int>> candidates; // word -> its one-word translations
};

// Source words by frequency, each with its most frequent translation.
// The basics, and their capitalised forms for the start of a sentence.
QList<QPair<QString, QString>> withCapitals(const QList<QPair<QString, QString>> &basics) {
    QList<QPair<QString, QString>> result = basics;
    QSet<QString> sources;
    for (const auto &pair : basics)
        sources.insert(pair.first);
    for (const auto &pair : basics) {
        const QString source = pair.first.left(1).toUpper() + pair.first.mid(1);
        if (!sources.contains(source)) {
            result.append({source, pair.second.left(1).toUpper() + pair.second.mid(1)});
            sources.insert(source);
        }
    }
    return result;
}

QList<QPair<QString, QString>> table(const Side &source, const Side &target,
                                     const QList<QPair<QString, QString>> &basics, int limit) {
    QList<QPair<QString, QString>> result = withCapitals(basics);
    QSet<QString> taken;
    for (const auto &pair : result)
        taken.insert(pair.first);
    QStringList ranked = source.candidates.keys();
    std::sort(ranked.begin(), ranked.end(), [&](const QString &a, const QString &b) {
        const int fa = source.of(a), fb = source.of(b);
        return fa != fb ? fa > fb : a < b;
    });
    for (const QString &word : ranked) {
        if (result.size() >= limit)
            break;
        if (taken.contains(word))
            continue;
        // The translation the dictionary gives most often; the commoner word on a tie.
        const QHash<QString, int> &options = source.candidates[word];
        QString best;
        int bestCount = 0;
        for (auto it = options.begin(); it != options.end(); ++it) {
            const int count = it.value();
            const int f = target.of(it.key());
            const int bestF = target.of(best);
            if (best.isEmpty() || count > bestCount ||
                (count == bestCount && (f > bestF || (f == bestF && it.key() < best)))) {
                best = it.key();
                bestCount = count;
            }
        }
        result.append({word, best});
        taken.insert(word);
    }
    return result;
}

bool writeLines(const QString &path, const QStringList &lines, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream out(&file);
    for (const QString &line : lines)
        out << line << '\n';
    out.flush();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

namespace DemoWordLists {

int write(const QString &dictionaryPath, const QString &folder, int wordsPerDirection, QString *error) {
    QFile dictionary(dictionaryPath);
    if (!dictionary.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(dictionaryPath, dictionary.errorString());
        return -1;
    }
    Side german, english;
    QTextStream in(&dictionary);
    const QString sideSeparator = QStringLiteral(" :: ");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const int split = line.indexOf(sideSeparator);
        if (line.startsWith(QLatin1Char('#')) || split < 0)
            continue;
        const QString de = line.left(split);
        const QString en = line.mid(split + sideSeparator.size());
        for (const QString &word : words(clean(de)))
            ++german.frequency[word.toLower()];
        for (const QString &word : words(clean(en)))
            ++english.frequency[word.toLower()];
        const QStringList deAlternatives = de.split(QStringLiteral(" | "));
        const QStringList enAlternatives = en.split(QStringLiteral(" | "));
        for (int i = 0; i < qMin(deAlternatives.size(), enAlternatives.size()); ++i) {
            const QString deWord = clean(deAlternatives[i].section(QStringLiteral("; "), 0, 0));
            const QString enWord = clean(enAlternatives[i].section(QStringLiteral("; "), 0, 0));
            if (!isWord(deWord) || !isWord(enWord))
                continue;
            ++german.candidates[deWord][enWord];
            ++english.candidates[enWord][deWord];
        }
    }
    const auto deEn = table(german, english, kGermanBasics, wordsPerDirection);
    const auto enDe = table(english, german, kEnglishBasics, wordsPerDirection);
    if (deEn.size() <= withCapitals(kGermanBasics).size() ||
        enDe.size() <= withCapitals(kEnglishBasics).size()) {
        *error = QStringLiteral("%1 holds no usable word pairs").arg(dictionaryPath);
        return -1;
    }

    QStringList deEnLines, enDeLines;
    QSet<QString> germanWords, englishWords;
    for (const auto &pair : deEn) {
        deEnLines.append(pair.first + QLatin1Char('\t') + pair.second);
        germanWords.insert(pair.first);
        englishWords.insert(pair.second);
    }
    for (const auto &pair : enDe) {
        enDeLines.append(pair.first + QLatin1Char('\t') + pair.second);
        englishWords.insert(pair.first);
        germanWords.insert(pair.second);
    }
    QStringList germanCorpus = germanWords.values();
    QStringList englishCorpus = englishWords.values();
    germanCorpus.sort();
    englishCorpus.sort();
    // Punctuation and digits known to both tokenizers pass through unchanged.
    const QStringList shared = {QStringLiteral(". , ! ? ; : - ( ) \" ' / % &"),
                                QStringLiteral("0 1 2 3 4 5 6 7 8 9")};
    germanCorpus += shared;
    englishCorpus += shared;
    const QDir dir(folder);
    if (!QDir().mkpath(folder) ||
        !writeLines(dir.filePath(QStringLiteral("de-en.words")), deEnLines, error) ||
        !writeLines(dir.filePath(QStringLiteral("en-de.words")), enDeLines, error) ||
        !writeLines(dir.filePath(QStringLiteral("de.txt")), germanCorpus, error) ||
        !writeLines(dir.filePath(QStringLiteral("en.txt")), englishCorpus, error))
        return -1;
    return int(qMin(deEn.size(), enDe.size()));
}

} // namespace DemoWordLists
