#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

// The WordNet 3.0 files of one folder (index.noun/verb/adj/adv, data.*, *.exc),
// read-only. Lookups are binary searches over the sorted index files by byte
// offset; synsets are read from the data files by their offsets. Immutable after
// open(): any thread may read it at once.
//
//   platform::Error error;
//   auto wordnet = QVWordNetDatabase::open(folder, &error);
//   wordnet->completions("dogw", 30);                    // {"dogwatch", "dogwood", ...}
//   for (const QString &base : wordnet->baseForms(Pos::Noun, "dogs"))   // {"dog"}
//       for (qint64 offset : wordnet->indexEntry(Pos::Noun, base)->synsetOffsets) ...
//
// Words are matched lower-cased with spaces as "_"; results give spaces back.
class QVWordNetDatabase {
public:
    enum class Pos { Noun, Verb, Adjective, Adverb };
    static constexpr std::array<Pos, 4> kAllPos = {Pos::Noun, Pos::Verb, Pos::Adjective, Pos::Adverb};

    static constexpr const char *kErrorDomain = "QVWordNetDatabase";
    enum ErrorCode { FilesMissing = 1, WordNotFound = 2, UnsupportedLanguage = 3 };

    struct IndexEntry {
        QString lemma; // as displayed, spaces for "_"
        int senseCount = 0;
        int taggedSenseCount = 0; // senses seen in tagged text: how common the word is in this part of speech
        QList<qint64> synsetOffsets;
    };
    struct Pointer {
        QString symbol; // "@" hypernym, "~" hyponym, ...
        Pos pos = Pos::Noun;
        qint64 offset = 0;
    };
    struct Synset {
        qint64 offset = 0;
        Pos pos = Pos::Noun;
        QStringList words; // displayed, adjective markers such as "(a)" removed
        QList<Pointer> pointers;
        QString gloss; // definition, then quoted examples after "; "
    };

    // The database of a folder, shared while its files stay the same; null
    // with FilesMissing when an index or data file is missing or unreadable.
    // A failed load is remembered until the files change (they are not read
    // again meanwhile). Reads the files on the calling thread, so never on the
    // interface thread; a caller waits only for a load of these same files
    // under way, never for another folder's.
    static std::shared_ptr<const QVWordNetDatabase> open(const QString &folder,
                                                         platform::Error *error = nullptr);
    // Whether open() finds the folder's dictionary, without reading it or waiting for a load
    // under way: how the last load of these very files ended, else whether they are all there.
    static bool isAvailable(const QString &folder);
    ~QVWordNetDatabase();
    QVWordNetDatabase(const QVWordNetDatabase &) = delete;
    QVWordNetDatabase &operator=(const QVWordNetDatabase &) = delete;

    // "noun", "verb", "adjective", "adverb": the names dictionary entries use.
    static QString posName(Pos pos);
    // Lower-cased, trimmed, inner spaces as "_".
    static QByteArray searchKey(const QString &word);

    std::optional<IndexEntry> indexEntry(Pos pos, const QString &lemma) const;
    // Lemmas starting with the prefix over all four parts of speech, in the
    // files' (byte) order, each once; at most `limit` (0: all).
    QStringList completions(const QString &prefix, int limit) const;
    // The lemmas in the index that the word may be a form of: its exceptions,
    // the word itself, then the regular suffix rules; each once.
    QStringList baseForms(Pos pos, const QString &word) const;
    std::optional<Synset> synset(Pos pos, qint64 offset) const;

    struct File;     // an index file in memory (opaque)
    struct DataFile; // a data file read by offset (opaque)

private:
    QVWordNetDatabase() = default;
    bool load(const QString &folder);
    const File &indexFile(Pos pos) const;
    const DataFile &dataFile(Pos pos) const;
    QStringList lemmasWithPrefix(Pos pos, const QByteArray &prefix, int limit) const;

    std::array<std::unique_ptr<File>, 4> m_index;
    std::array<std::unique_ptr<DataFile>, 4> m_data;
    std::array<QHash<QByteArray, QList<QByteArray>>, 4> m_exceptions;
};
