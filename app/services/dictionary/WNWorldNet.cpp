#include "services/dictionary/WNWorldNet.h"

#include "platform/MainQueue.h"

#include <QJsonDocument>
#include <QSet>
#include <QThreadPool>
#include <QVariantList>

namespace {

using Pos = QVWordNetDatabase::Pos;

platform::Error wordnetError(QVWordNetDatabase::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVWordNetDatabase::kErrorDomain), code, description);
}

// The first word of every synset the pointers of these kinds lead to.
QString relatedWords(const QVWordNetDatabase &database, const QVWordNetDatabase::Synset &synset,
                     const QStringList &symbols) {
    QStringList words;
    for (const QVWordNetDatabase::Pointer &pointer : synset.pointers) {
        if (!symbols.contains(pointer.symbol))
            continue;
        if (const auto target = database.synset(pointer.pos, pointer.offset);
            target && !target->words.isEmpty())
            words.append(target->words.first());
    }
    words.removeDuplicates();
    return words.join(QLatin1Char(','));
}

QVariantMap sense(const QVWordNetDatabase &database, const QVWordNetDatabase::Synset &synset) {
    QVariantMap sense{{QStringLiteral("syn"), synset.words.join(QLatin1Char(','))},
                      {QStringLiteral("meaning"), synset.gloss}};
    const QString hypernyms = relatedWords(database, synset, {QStringLiteral("@"), QStringLiteral("@i")});
    if (!hypernyms.isEmpty())
        sense.insert(QStringLiteral("hypernym"), hypernyms);
    const QString hyponyms = relatedWords(database, synset, {QStringLiteral("~"), QStringLiteral("~i")});
    if (!hyponyms.isEmpty())
        sense.insert(QStringLiteral("hyponym"), hyponyms);
    return sense;
}

// Runs on a worker; the outcome crosses to the main thread.
void runOffMain(std::function<void()> work) {
    QThreadPool::globalInstance()->start(std::move(work));
}

} // namespace

WNWorldNet::WNWorldNet(QString folder, QString fallback)
    : m_folder(std::move(folder)), m_fallback(std::move(fallback)) {}

std::shared_ptr<const QVWordNetDatabase> WNWorldNet::open(const QString &folder, const QString &fallback,
                                                          platform::Error *error) {
    platform::Error first;
    if (auto database = QVWordNetDatabase::open(folder, &first))
        return database;
    if (!fallback.isEmpty())
        if (auto database = QVWordNetDatabase::open(fallback))
            return database;
    if (error)
        *error = first;
    return nullptr;
}

bool WNWorldNet::isAvailable(const QString &folder, const QString &fallback) {
    return QVWordNetDatabase::isAvailable(folder) || QVWordNetDatabase::isAvailable(fallback);
}

bool WNWorldNet::isEnglish(const QString &language) {
    return language.startsWith(QLatin1String("en"), Qt::CaseInsensitive) &&
           (language.size() == 2 || language.at(2) == QLatin1Char('_') || language.at(2) == QLatin1Char('-'));
}

QVariantMap WNWorldNet::lexiconForWord(const QVWordNetDatabase &database, const QString &word,
                                       platform::Error *error) {
    QVariantMap partsOfSpeech;
    for (Pos pos : QVWordNetDatabase::kAllPos) {
        QVariantList senses;
        QSet<qint64> seen;
        for (const QString &base : database.baseForms(pos, word)) {
            const auto entry = database.indexEntry(pos, base);
            for (qint64 offset : entry->synsetOffsets) {
                if (seen.contains(offset))
                    continue;
                seen.insert(offset);
                if (const auto synset = database.synset(pos, offset))
                    senses.append(sense(database, *synset));
            }
        }
        if (!senses.isEmpty())
            partsOfSpeech.insert(QVWordNetDatabase::posName(pos), senses);
    }
    if (partsOfSpeech.isEmpty()) {
        if (error)
            *error = wordnetError(QVWordNetDatabase::WordNotFound,
                                  QStringLiteral("The word is not in the dictionary"));
        return {};
    }
    return {{QStringLiteral("word"), word.simplified()},
            {QStringLiteral("partsOfSpeech"), partsOfSpeech},
            {QStringLiteral("examples"), QVariantList()}};
}

void WNWorldNet::autocompleteForWord(const QString &word, const QString &language, WordsSuccess success,
                                     Failure failure, int limit) const {
    if (!isEnglish(language)) {
        platform::dispatchAsyncMain([success = std::move(success)] {
            if (success)
                success({});
        });
        return;
    }
    runOffMain([folder = m_folder, fallback = m_fallback, word, limit, success = std::move(success),
                failure = std::move(failure)] {
        platform::Error error;
        const auto database = open(folder, fallback, &error);
        const QStringList words = database ? database->completions(word, limit) : QStringList();
        platform::dispatchAsyncMain([error, words, success, failure] {
            if (error) {
                if (failure)
                    failure(error);
            } else if (success) {
                success(words);
            }
        });
    });
}

void WNWorldNet::lexicForWord(const QString &word, const QString &language, TextSuccess success,
                              Failure failure) const {
    if (!isEnglish(language)) {
        platform::dispatchAsyncMain([failure = std::move(failure)] {
            if (failure)
                failure(wordnetError(QVWordNetDatabase::UnsupportedLanguage,
                                     QStringLiteral("The offline dictionary is English only")));
        });
        return;
    }
    runOffMain([folder = m_folder, fallback = m_fallback, word, success = std::move(success),
                failure = std::move(failure)] {
        platform::Error error;
        QString json;
        if (const auto database = open(folder, fallback, &error)) {
            const QVariantMap entry = lexiconForWord(*database, word, &error);
            if (!error)
                json = QString::fromUtf8(QJsonDocument::fromVariant(entry).toJson(QJsonDocument::Compact));
        }
        platform::dispatchAsyncMain([error, json, success, failure] {
            if (error) {
                if (failure)
                    failure(error);
            } else if (success) {
                success(json);
            }
        });
    });
}
