#include "services/analysis/QVPartOfSpeechService.h"

#include "core/DevLogger.h"
#include "core/localization/QVLocalizedString.h"
#include "services/dictionary/WNWorldNet.h"
#include "services/packages/QVPackageFolders.h"
#include "ui/QVMStyleService.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QTextBoundaryFinder>

namespace {

constexpr const char *kSystemWordNetFolder = "/usr/share/wordnet";

QMutex folderMutex;
QString folderOverride;

const char *const kTitleKeys[] = {"_loc_parts_of_speech_none",      "_loc_parts_of_speech_noun",
                                  "_loc_parts_of_speech_adjective", "_loc_parts_of_speech_verb",
                                  "_loc_parts_of_speech_pronoun",   "_loc_parts_of_speech_adverb"};

bool hasWordNetFiles(const QString &folder) {
    return QFileInfo(QDir(folder).filePath(QStringLiteral("index.noun"))).isFile();
}

bool hasLetterOrDigit(QStringView text) {
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            return true;
    }
    return false;
}

} // namespace

QString QVPartOfSpeechService::wordNetFolder() {
    {
        QMutexLocker lock(&folderMutex);
        if (!folderOverride.isEmpty())
            return folderOverride;
    }
    const QString package = QVPackageFolders::dictionaryFolder();
    return hasWordNetFiles(package) ? package : QString::fromLatin1(kSystemWordNetFolder);
}

void QVPartOfSpeechService::setWordNetFolder(const QString &folder) {
    QMutexLocker lock(&folderMutex);
    folderOverride = folder;
}

bool QVPartOfSpeechService::isPartOfSpeechDetectionAvailableForLanguage(const QString &language) {
    if (language.isEmpty() || !WNWorldNet::isEnglish(language))
        return false;
    try {
        return QVWordNetDatabase::open(wordNetFolder()) != nullptr;
    } catch (const std::exception &exception) {
        DevLogger::logException(exception, QStringLiteral("isPartOfSpeechDetectionAvailableForLanguage:"));
        return false;
    }
}

QList<QVTaggedToken> QVPartOfSpeechService::taggedWords(const QString &text, const QString &language) {
    if (text.isEmpty() || !WNWorldNet::isEnglish(language))
        return {};
    const auto wordnet = QVWordNetDatabase::open(wordNetFolder());
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
