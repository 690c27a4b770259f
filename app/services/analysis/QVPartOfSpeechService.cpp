#include "services/analysis/QVPartOfSpeechService.h"

#include "core/DevLogger.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVPackageFolders.h"
#include "services/dictionary/WNWorldNet.h"
#include "services/graphics/QVMStyleService.h"

#include <QMutex>
#include <QTextBoundaryFinder>

namespace {

QMutex folderMutex;
QString folderOverride;

const char *const kTitleKeys[] = {"_loc_parts_of_speech_none",      "_loc_parts_of_speech_noun",
                                  "_loc_parts_of_speech_adjective", "_loc_parts_of_speech_verb",
                                  "_loc_parts_of_speech_pronoun",   "_loc_parts_of_speech_adverb"};

bool hasLetterOrDigit(QStringView text) {
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            return true;
    }
    return false;
}

// Titles and Latin abbreviations: their stop rarely ends a sentence ("Mr. Smith").
const QStringList &abbreviations() {
    static const QStringList words = {
        QStringLiteral("Mr"),   QStringLiteral("Mrs"),  QStringLiteral("Ms"),   QStringLiteral("Mx"),
        QStringLiteral("Dr"),   QStringLiteral("Prof"), QStringLiteral("St"),   QStringLiteral("Mt"),
        QStringLiteral("Capt"), QStringLiteral("Col"),  QStringLiteral("Gen"),  QStringLiteral("Lt"),
        QStringLiteral("Sgt"),  QStringLiteral("Rev"),  QStringLiteral("Hon"),  QStringLiteral("Gov"),
        QStringLiteral("Sen"),  QStringLiteral("Rep"),  QStringLiteral("Pres"), QStringLiteral("Messrs"),
        QStringLiteral("Mme"),  QStringLiteral("Mlle"), QStringLiteral("e.g"),  QStringLiteral("E.g"),
        QStringLiteral("i.e"),  QStringLiteral("I.e"),  QStringLiteral("vs"),   QStringLiteral("cf"),
        QStringLiteral("viz")};
    return words;
}

// Whether a stretch that the boundary finder ends after "<abbreviation>. " goes on
// into the next one: an abbreviation above or an initial ("J. R. Tolkien"), followed
// by spaces on the same line.
bool endsWithAbbreviation(QStringView stretch) {
    qsizetype end = stretch.size();
    while (end > 0 && (stretch.at(end - 1) == QLatin1Char(' ') || stretch.at(end - 1) == QLatin1Char('\t') ||
                       stretch.at(end - 1) == QChar(0x00A0)))
        --end;
    if (end == stretch.size() || end == 0 || stretch.at(end - 1) != QLatin1Char('.'))
        return false;
    qsizetype begin = end - 1;
    while (begin > 0 && !stretch.at(begin - 1).isSpace() && stretch.at(begin - 1) != QLatin1Char('(') &&
           stretch.at(begin - 1) != QLatin1Char('"'))
        --begin;
    const QStringView word = stretch.mid(begin, end - 1 - begin);
    if (word.size() == 1 && word.at(0).isUpper())
        return true;
    return abbreviations().contains(word);
}

QString overriddenFolder() {
    QMutexLocker lock(&folderMutex);
    return folderOverride;
}

} // namespace

std::shared_ptr<const QVWordNetDatabase> QVPartOfSpeechService::wordNetDatabase() {
    if (const QString folder = overriddenFolder(); !folder.isEmpty())
        return QVWordNetDatabase::open(folder);
    // The offline dictionary's own choice, so both always read the same files.
    return WNWorldNet::open(QVPackageFolders::dictionaryFolder(),
                            QString::fromLatin1(WNWorldNet::kSystemFolder), nullptr);
}

void QVPartOfSpeechService::setWordNetFolder(const QString &folder) {
    QMutexLocker lock(&folderMutex);
    folderOverride = folder;
}

bool QVPartOfSpeechService::isPartOfSpeechDetectionAvailableForLanguage(const QString &language) {
    if (language.isEmpty() || !WNWorldNet::isEnglish(language))
        return false;
    // Asked as the window is built: the files' presence answers while their indexes load.
    try {
        if (const QString folder = overriddenFolder(); !folder.isEmpty())
            return QVWordNetDatabase::isAvailable(folder);
        return WNWorldNet::isAvailable(QVPackageFolders::dictionaryFolder(),
                                       QString::fromLatin1(WNWorldNet::kSystemFolder));
    } catch (const std::exception &exception) {
        DevLogger::logException(exception, QStringLiteral("isPartOfSpeechDetectionAvailableForLanguage:"));
        return false;
    }
}

QList<QVTaggedToken> QVPartOfSpeechService::taggedWords(const QString &text, const QString &language) {
    if (text.isEmpty() || !WNWorldNet::isEnglish(language))
        return {};
    const auto wordnet = wordNetDatabase();
    if (!wordnet)
        return {};
    return QVEnglishTagger(wordnet).tagWords(text);
}

QVAttributedString QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(const QString &text,
                                                                                const QString &language,
                                                                                qint64 partOfSpeechType) {
    return attributedPartsOfSpeechStringWithText(text, language, partOfSpeechType,
                                                 QVMStyleService::isDarkMode() ? QColor(Qt::white)
                                                                               : QColor(Qt::black));
}

QVAttributedString QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(const QString &text,
                                                                                const QString &language,
                                                                                qint64 partOfSpeechType,
                                                                                const QColor &baseColor) {
    if (text.isNull())
        return {};
    QVAttributedString coloured(text, baseColor);
    const QString tag = partOfSpeechTagForType(partOfSpeechType);
    if (tag.isNull())
        return coloured;
    for (const QVTaggedToken &token : taggedWords(text, language)) {
        if (token.tag == tag)
            coloured.setForegroundColor(token.range, QColor(Qt::red));
    }
    return coloured;
}

QVAttributedString QVPartOfSpeechService::attributedPartOfSpeechStringWithText(const QString &text) {
    return QVAttributedString(text, QColor(Qt::red));
}

QList<QVSentenceDTO> QVPartOfSpeechService::sensencesDTOArrayfromText(const QString &text) {
    QList<QVSentenceDTO> sentences;
    if (text.isEmpty())
        return sentences;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, text);
    qint64 number = 1;
    qsizetype start = 0;
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        const QStringView sentence = QStringView(text).mid(start, next - start);
        if (next < text.size() && endsWithAbbreviation(sentence))
            continue;
        // Stretches without a word (blank lines, stray punctuation) are no sentences.
        if (hasLetterOrDigit(sentence)) {
            sentences.append(QVSentenceDTO::initWithTag(
                number++, {static_cast<quint64>(start), static_cast<quint64>(next - start)},
                sentence.toString()));
        }
        start = next;
    }
    return sentences;
}

qint64 QVPartOfSpeechService::tagForSelectedRange(QVTextRange range, const QList<QVSentenceDTO> &sentences) {
    for (const QVSentenceDTO &sentence : sentences) {
        const QVTextRange held = sentence.range();
        if (range.location >= held.location && range.location - held.location < held.length)
            return sentence.tag();
    }
    return 0;
}

QString QVPartOfSpeechService::partOfSpeechTagForType(qint64 partOfSpeechType) {
    switch (partOfSpeechType) {
    case Noun:
        return QString::fromLatin1(QVLexicalClass::kNoun);
    case Adjective:
        return QString::fromLatin1(QVLexicalClass::kAdjective);
    case Verb:
        return QString::fromLatin1(QVLexicalClass::kVerb);
    case Pronoun:
        return QString::fromLatin1(QVLexicalClass::kPronoun);
    case Adverb:
        return QString::fromLatin1(QVLexicalClass::kAdverb);
    default:
        return {};
    }
}

QString QVPartOfSpeechService::localizedPartOfSpeechTagForType(qint64 partOfSpeechType) {
    if (partOfSpeechType < Noun || partOfSpeechType > Adverb)
        return {};
    return QVLocalizedString(QString::fromLatin1(kTitleKeys[partOfSpeechType]));
}

QStringList QVPartOfSpeechService::partsOfSpeechTitlesArray() {
    QStringList titles;
    for (const char *key : kTitleKeys)
        titles.append(QVLocalizedString(QString::fromLatin1(key)));
    return titles;
}
