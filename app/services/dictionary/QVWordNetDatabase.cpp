#include "services/dictionary/QVWordNetDatabase.h"

#include "core/DevLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Index files are read whole (a few megabytes): a mapping would crash the
// process if a package update cut the file short while it is open. Data files
// are large and read line by line with pread, which any thread may do at once.
struct QVWordNetDatabase::File {
    QByteArray storage;
    const char *bytes = nullptr;
    qint64 size = 0;

    bool read(const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        storage = file.readAll();
        bytes = storage.constData();
        size = storage.size();
        return size > 0;
    }
};

struct QVWordNetDatabase::DataFile {
    int fd = -1;

    ~DataFile() {
        if (fd >= 0)
            ::close(fd);
    }
    bool open(const QString &path) {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        return fd >= 0 && ::fstat(fd, &info) == 0 && info.st_size > 0;
    }
    bool startsLine(qint64 offset) const {
        char before = '\n';
        return offset == 0 || (::pread(fd, &before, 1, offset - 1) == 1 && before == '\n');
    }
    // The line starting at the offset, without its line break; empty when the file ends first.
    QByteArray lineAt(qint64 offset) const {
        constexpr qint64 kChunk = 4096;
        constexpr qint64 kLongestLine = 1 << 20;
        QByteArray line;
        while (line.size() < kLongestLine) {
            char chunk[kChunk];
            const ssize_t got = ::pread(fd, chunk, kChunk, offset + line.size());
            if (got <= 0)
                return {};
            const void *newline = std::memchr(chunk, '\n', static_cast<size_t>(got));
            if (newline) {
                line.append(chunk, static_cast<const char *>(newline) - chunk);
                return line;
            }
            line.append(chunk, got);
        }
        return {};
    }
};

namespace {

using Pos = QVWordNetDatabase::Pos;

const char *fileSuffix(Pos pos) {
    switch (pos) {
    case Pos::Noun:
        return "noun";
    case Pos::Verb:
        return "verb";
    case Pos::Adjective:
        return "adj";
    case Pos::Adverb:
        return "adv";
    }
    return "noun";
}

int slot(Pos pos) {
    return static_cast<int>(pos);
}

struct Suffix {
    const char *ending;
    const char *replacement;
};

// WordNet's regular detachment rules, tried in this order.
QList<Suffix> suffixRules(Pos pos) {
    switch (pos) {
    case Pos::Noun:
        return {{"s", ""},      {"ses", "s"},   {"xes", "x"},   {"zes", "z"},
                {"ches", "ch"}, {"shes", "sh"}, {"men", "man"}, {"ies", "y"}};
    case Pos::Verb:
        return {{"s", ""},   {"ies", "y"}, {"es", "e"},  {"es", ""},
                {"ed", "e"}, {"ed", ""},   {"ing", "e"}, {"ing", ""}};
    case Pos::Adjective:
        return {{"er", ""}, {"est", ""}, {"er", "e"}, {"est", "e"}};
    case Pos::Adverb:
        return {};
    }
    return {};
}

// A view of one line of a mapped file.
struct Line {
    const char *begin = nullptr;
    const char *end = nullptr;

    QByteArray lemma() const {
        const char *space = static_cast<const char *>(std::memchr(begin, ' ', end - begin));
        return QByteArray(begin, (space ? space : end) - begin);
    }
    // The spaces closing each line are no fields: counts are checked against the fields there are.
    QList<QByteArray> fields() const { return QByteArray(begin, end - begin).trimmed().split(' '); }
};

int compareBytes(const QByteArray &a, const QByteArray &b) {
    const int common = std::memcmp(a.constData(), b.constData(), std::min(a.size(), b.size()));
    if (common != 0)
        return common;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

QString displayed(const QByteArray &lemma) {
    QString text = QString::fromUtf8(lemma);
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    return text;
}

bool parsePos(char symbol, Pos &pos) {
    switch (symbol) {
    case 'n':
        pos = Pos::Noun;
        return true;
    case 'v':
        pos = Pos::Verb;
        return true;
    case 'a':
    case 's':
        pos = Pos::Adjective;
        return true;
    case 'r':
        pos = Pos::Adverb;
        return true;
    default:
        return false;
    }
}

// Counts are read as 64-bit and must fit the fields actually on the line: a
// damaged file reads as a missing word, never as a crash.
qint64 count(const QByteArray &field, int base = 10) {
    bool ok = false;
    const qint64 value = field.toLongLong(&ok, base);
    return ok && value >= 0 ? value : -1;
}

// One line per damaged line of a file, however often it is looked up.
void logDamagedLine(const char *kind, Pos pos, qint64 offset) {
    static QMutex mutex;
    static QSet<QString> logged;
    const QString where =
        QStringLiteral("%1.%2@%3").arg(QLatin1String(kind), QLatin1String(fileSuffix(pos))).arg(offset);
    {
        QMutexLocker lock(&mutex);
        if (logged.size() >= 1000 || logged.contains(where))
            return;
        logged.insert(where);
    }
    DevLog(QStringLiteral("[wordnet] line does not add up, ignored: %@"), where);
}

QString fileSignature(const QString &path) {
    const QFileInfo info(path);
    return QStringLiteral("%1:%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
}

} // namespace

// Line helpers over a mapped file; the index files are sorted by lemma in byte order
// (the licence lines, which start with a space, sort first).
namespace wordnetfile {

qint64 lineStart(const QVWordNetDatabase::File &f, qint64 at, qint64 floor) {
    while (at > floor && f.bytes[at - 1] != '\n')
        --at;
    return at;
}

qint64 lineEnd(const QVWordNetDatabase::File &f, qint64 start) {
    const void *newline = std::memchr(f.bytes + start, '\n', f.size - start);
    return newline ? static_cast<const char *>(newline) - f.bytes : f.size;
}

Line lineAt(const QVWordNetDatabase::File &f, qint64 start) {
    return {f.bytes + start, f.bytes + lineEnd(f, start)};
}

// The start of the first line whose lemma is not below the key.
qint64 lowerBound(const QVWordNetDatabase::File &f, const QByteArray &key) {
    qint64 lo = 0;
    qint64 hi = f.size;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        const qint64 start = lineStart(f, mid, lo);
        const qint64 end = lineEnd(f, start);
        if (compareBytes(Line{f.bytes + start, f.bytes + end}.lemma(), key) < 0)
            lo = end + 1;
        else
            hi = start;
    }
    return std::min(lo, f.size);
}

} // namespace wordnetfile

namespace {

QStringList requiredFiles(const QDir &dir) {
    QStringList files;
    for (QVWordNetDatabase::Pos pos : QVWordNetDatabase::kAllPos) {
        for (const char *kind : {"index", "data"})
            files.append(dir.filePath(
                QStringLiteral("%1.%2").arg(QLatin1String(kind), QLatin1String(fileSuffix(pos)))));
    }
    return files;
}

QString signatureOf(const QDir &dir, const QStringList &files) {
    QString signature = dir.absolutePath();
    for (const QString &file : files)
        signature += QLatin1Char('|') + fileSignature(file);
    return signature;
}

// A load under way: the callers that want the same files wait for it, nobody else does.
struct PendingLoad {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::shared_ptr<const QVWordNetDatabase> database;
};

// What is known of each set of files, by signature: loaded, failed (remembered until the files
// change, so a broken package is not read again on every call), or being loaded. The lock is
// never held while files are read.
struct Registry {
    QMutex mutex;
    QHash<QString, std::shared_ptr<const QVWordNetDatabase>> loaded;
    QHash<QString, bool> outcomes;
    QHash<QString, std::shared_ptr<PendingLoad>> pending;
};

Registry &registry() {
    static Registry *instance = new Registry;
    return *instance;
}

// Keys of replaced files would pile up; one folder's current files are all that matter.
template <typename Value> void forgetOtherFiles(QHash<QString, Value> &table, const QString &folder) {
    const QString prefix = folder + QLatin1Char('|');
    for (auto it = table.begin(); it != table.end();)
        it = it.key().startsWith(prefix) ? table.erase(it) : std::next(it);
}

} // namespace

QVWordNetDatabase::~QVWordNetDatabase() = default;

bool QVWordNetDatabase::isAvailable(const QString &folder) {
    if (folder.isEmpty())
        return false;
    const QDir dir(folder);
    const QStringList files = requiredFiles(dir);
    {
        Registry &known = registry();
        QMutexLocker lock(&known.mutex);
        const auto outcome = known.outcomes.constFind(signatureOf(dir, files));
        if (outcome != known.outcomes.constEnd())
            return *outcome;
    }
    return std::all_of(files.cbegin(), files.cend(), [](const QString &file) {
        const QFileInfo info(file);
        return info.isFile() && info.isReadable();
    });
}

std::shared_ptr<const QVWordNetDatabase> QVWordNetDatabase::open(const QString &folder,
                                                                 platform::Error *error) {
    const auto fail = [error]() -> std::shared_ptr<const QVWordNetDatabase> {
        if (error)
            *error = platform::Error(QString::fromLatin1(kErrorDomain), FilesMissing,
                                     QStringLiteral("The dictionary files are missing or unreadable"));
        return {};
    };
    if (folder.isEmpty())
        return fail();
    const QDir dir(folder);
    const QString path = dir.absolutePath();
    const QString signature = signatureOf(dir, requiredFiles(dir));

    Registry &known = registry();
    std::shared_ptr<PendingLoad> load;
    bool loadsHere = false;
    {
        QMutexLocker lock(&known.mutex);
        if (const auto database = known.loaded.value(signature))
            return database;
        if (!known.outcomes.value(signature, true))
            return fail();
        load = known.pending.value(signature);
        if (!load) {
            load = std::make_shared<PendingLoad>();
            known.pending.insert(signature, load);
            loadsHere = true;
        }
    }
    if (!loadsHere) {
        std::unique_lock wait(load->mutex);
        load->finished.wait(wait, [&] { return load->done; });
        return load->database ? load->database : fail();
    }

    std::shared_ptr<QVWordNetDatabase> database(new QVWordNetDatabase);
    const bool loaded = database->load(path);
    if (!loaded) {
        DevLog(
            QStringLiteral("[wordnet] the dictionary files in %@ cannot be read: not read again until they "
                           "change"),
            path);
        database.reset();
    }
    {
        QMutexLocker lock(&known.mutex);
        known.pending.remove(signature);
        forgetOtherFiles(known.outcomes, path);
        known.outcomes.insert(signature, loaded);
        if (loaded) {
            forgetOtherFiles(known.loaded, path);
            known.loaded.insert(signature, database);
        }
    }
    {
        const std::lock_guard done(load->mutex);
        load->database = database;
        load->done = true;
    }
    load->finished.notify_all();
    return database ? database : fail();
}

bool QVWordNetDatabase::load(const QString &folder) {
    const QDir dir(folder);
    for (Pos pos : kAllPos) {
        const QString suffix = QLatin1String(fileSuffix(pos));
        auto index = std::make_unique<File>();
        auto data = std::make_unique<DataFile>();
        if (!index->read(dir.filePath(QStringLiteral("index.") + suffix)) ||
            !data->open(dir.filePath(QStringLiteral("data.") + suffix)))
            return false;
        m_index[slot(pos)] = std::move(index);
        m_data[slot(pos)] = std::move(data);

        // Exception lists are optional: without one only the suffix rules apply.
        QFile exceptions(dir.filePath(suffix + QStringLiteral(".exc")));
        if (!exceptions.open(QIODevice::ReadOnly))
            continue;
        auto &table = m_exceptions[slot(pos)];
        while (!exceptions.atEnd()) {
            const QList<QByteArray> words = exceptions.readLine().trimmed().split(' ');
            if (words.size() >= 2)
                table.insert(words.first(), words.mid(1));
        }
    }
    return true;
}

const QVWordNetDatabase::File &QVWordNetDatabase::indexFile(Pos pos) const {
    return *m_index[slot(pos)];
}
const QVWordNetDatabase::DataFile &QVWordNetDatabase::dataFile(Pos pos) const {
    return *m_data[slot(pos)];
}

QString QVWordNetDatabase::posName(Pos pos) {
    switch (pos) {
    case Pos::Noun:
        return QStringLiteral("noun");
    case Pos::Verb:
        return QStringLiteral("verb");
    case Pos::Adjective:
        return QStringLiteral("adjective");
    case Pos::Adverb:
        return QStringLiteral("adverb");
    }
    return {};
}

QByteArray QVWordNetDatabase::searchKey(const QString &word) {
    QString key = word.simplified().toLower();
    key.replace(QLatin1Char(' '), QLatin1Char('_'));
    return key.toUtf8();
}

std::optional<QVWordNetDatabase::IndexEntry> QVWordNetDatabase::indexEntry(Pos pos,
                                                                           const QString &lemma) const {
    const QByteArray key = searchKey(lemma);
    if (key.isEmpty())
        return std::nullopt;
    const File &f = indexFile(pos);
    const qint64 start = wordnetfile::lowerBound(f, key);
    if (start >= f.size)
        return std::nullopt;
    const Line line = wordnetfile::lineAt(f, start);
    if (line.lemma() != key)
        return std::nullopt;

    // lemma pos synset_cnt p_cnt [ptr_symbol]{p_cnt} sense_cnt tagsense_cnt [synset_offset]{synset_cnt}
    const QList<QByteArray> fields = line.fields();
    const qint64 synsetCount = fields.size() >= 4 ? count(fields[2]) : -1;
    const qint64 pointerCount = fields.size() >= 4 ? count(fields[3]) : -1;
    if (synsetCount < 0 || pointerCount < 0 || pointerCount > fields.size() || synsetCount > fields.size() ||
        fields.size() < 4 + pointerCount + 2 + synsetCount) {
        logDamagedLine("index", pos, start);
        return std::nullopt;
    }
    const int countsAt = int(4 + pointerCount);
    IndexEntry entry;
    entry.lemma = displayed(key);
    entry.senseCount = fields[countsAt].toInt();
    entry.taggedSenseCount = fields[countsAt + 1].toInt();
    for (int i = 0; i < int(synsetCount); ++i)
        entry.synsetOffsets.append(fields[countsAt + 2 + i].toLongLong());
    return entry;
}

QStringList QVWordNetDatabase::lemmasWithPrefix(Pos pos, const QByteArray &prefix, int limit) const {
    const File &f = indexFile(pos);
    QStringList lemmas;
    for (qint64 at = wordnetfile::lowerBound(f, prefix); at < f.size;) {
        const Line line = wordnetfile::lineAt(f, at);
        const QByteArray lemma = line.lemma();
        if (!lemma.startsWith(prefix) || (limit > 0 && lemmas.size() >= limit))
            break;
        lemmas.append(QString::fromUtf8(lemma));
        at = (line.end - f.bytes) + 1;
    }
    return lemmas;
}

QStringList QVWordNetDatabase::completions(const QString &prefix, int limit) const {
    const QByteArray key = searchKey(prefix);
    if (key.isEmpty())
        return {};
    // Each file is sorted; a merge of the four keeps byte order.
    QList<QByteArray> merged;
    for (Pos pos : kAllPos) {
        for (const QString &lemma : lemmasWithPrefix(pos, key, limit))
            merged.append(lemma.toUtf8());
    }
    std::sort(merged.begin(), merged.end(),
              [](const QByteArray &a, const QByteArray &b) { return compareBytes(a, b) < 0; });
    merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
    if (limit > 0 && merged.size() > limit)
        merged.resize(limit);
    QStringList words;
    for (const QByteArray &lemma : merged)
        words.append(displayed(lemma));
    return words;
}

QStringList QVWordNetDatabase::baseForms(Pos pos, const QString &word) const {
    const QByteArray key = searchKey(word);
    if (key.isEmpty())
        return {};
    QList<QByteArray> candidates = m_exceptions[slot(pos)].value(key);
    candidates.append(key);
    // Nouns in "ss" are not plurals ("glass", "boss").
    const bool detach = !(pos == Pos::Noun && key.endsWith("ss"));
    for (const Suffix &rule : suffixRules(pos)) {
        const QByteArray ending(rule.ending);
        if (detach && key.size() > ending.size() && key.endsWith(ending))
            candidates.append(key.left(key.size() - ending.size()) + rule.replacement);
    }
    QStringList forms;
    for (const QByteArray &candidate : candidates) {
        const QString form = displayed(candidate);
        if (!forms.contains(form) && indexEntry(pos, form))
            forms.append(form);
    }
    return forms;
}

std::optional<QVWordNetDatabase::Synset> QVWordNetDatabase::synset(Pos pos, qint64 offset) const {
    const DataFile &file = dataFile(pos);
    if (offset < 0 || !file.startsLine(offset))
        return std::nullopt;
    const QByteArray text = file.lineAt(offset);
    const qsizetype bar = text.indexOf(" | ");
    const QList<QByteArray> fields = text.left(bar < 0 ? text.size() : bar).split(' ');
    // offset lex_filenum ss_type w_cnt [word lex_id]{w_cnt} p_cnt [symbol offset pos source/target]{p_cnt}
    if (fields.size() < 5 || fields[0].toLongLong() != offset)
        return std::nullopt;
    const qint64 wordCount = count(fields[3], 16);
    const qint64 pointersAt = 4 + 2 * wordCount;
    if (wordCount <= 0 || wordCount > fields.size() || fields.size() <= pointersAt) {
        logDamagedLine("data", pos, offset);
        return std::nullopt;
    }
    const qint64 pointerCount = count(fields[pointersAt]);
    // Verb lines carry frames after the pointers, so there may be more fields, never fewer.
    if (pointerCount < 0 || pointerCount > fields.size() ||
        fields.size() < pointersAt + 1 + 4 * pointerCount) {
        logDamagedLine("data", pos, offset);
        return std::nullopt;
    }

    static const QRegularExpression marker(QStringLiteral("\\([a-z]+\\)$"));
    Synset synset;
    synset.offset = offset;
    synset.pos = pos;
    for (qint64 i = 0; i < wordCount; ++i)
        synset.words.append(displayed(fields[4 + 2 * i]).remove(marker));
    for (qint64 i = 0; i < pointerCount; ++i) {
        const qint64 at = pointersAt + 1 + 4 * i;
        Pointer pointer;
        pointer.symbol = QString::fromLatin1(fields[at]);
        pointer.offset = fields[at + 1].toLongLong();
        if (!fields[at + 2].isEmpty() && parsePos(fields[at + 2].at(0), pointer.pos))
            synset.pointers.append(pointer);
    }
    if (bar >= 0)
        synset.gloss = QString::fromUtf8(text.mid(bar + 3)).trimmed();
    return synset;
}
