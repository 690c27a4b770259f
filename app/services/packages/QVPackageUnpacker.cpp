#include "services/packages/QVPackageUnpacker.h"

#include "core/models/QVPackageFolders.h"
#include "services/packages/QVZipArchive.h"

#include "core/localization/QVLocalizedString.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Room kept free beyond the unpacked size, for the file system's own needs.
constexpr qint64 kSpareBytes = 1 << 20;
// No package needs longer or deeper names; the name checks keep every folder prefix, so
// these bound their memory.
constexpr size_t kMaxNameBytes = 4096;
constexpr int kMaxNameDepth = 64;
const QString kStagePrefix = QStringLiteral(".unpack-");

QMutex &unpackMutex() {
    static QMutex mutex;
    return mutex;
}

QVPackageUnpacker::FreeSpace &freeSpaceFunction() {
    static QVPackageUnpacker::FreeSpace function;
    return function;
}

qint64 freeSpace(const QString &folder) {
    if (const QVPackageUnpacker::FreeSpace &function = freeSpaceFunction())
        return function(folder);
    return QStorageInfo(folder).bytesAvailable();
}

platform::Error unpackError(QVPackageUnpacker::ErrorCode code, const char *key, const QString &detail) {
    return platform::Error(QString::fromLatin1(QVPackageUnpacker::kErrorDomain), code,
                           QVLocalizedString(QString::fromLatin1(key)),
                           {{QStringLiteral("NSDebugDescription"), detail}});
}

platform::Error damaged(const QString &detail) {
    return unpackError(QVPackageUnpacker::UnreadableArchive, "_loc_err_package_damaged", detail);
}

platform::Error unsafe(const QString &detail) {
    return unpackError(QVPackageUnpacker::UnsafeEntry, "_loc_err_package_damaged", detail);
}

platform::Error wrongLayout(const QString &detail) {
    return unpackError(QVPackageUnpacker::WrongLayout, "_loc_err_package_layout", detail);
}

platform::Error writeFailed(const QString &folder, const QString &detail) {
    if (freeSpace(folder) < kSpareBytes)
        return unpackError(QVPackageUnpacker::NotEnoughSpace, "_loc_err_package_disk_full", detail);
    return unpackError(QVPackageUnpacker::WriteFailed, "_loc_err_package_write", detail);
}

struct Entry {
    quint64 index;
    QString path; // relative, "/"-separated, without a trailing "/"
    bool isFolder;
    quint64 size;
};

// The entry's path when it stays inside the folder, else an empty string.
QString safePath(const QString &name) {
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QChar(0)))
        return {};
    QString path = name;
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return {};
    }
    return path;
}

// Every file's name names nothing else: no second file, and no folder, of
// its own or above another entry (the unpack could only fail half-way).
platform::Error checkNames(const std::vector<Entry> &entries) {
    QSet<QString> files;
    QSet<QString> folders;
    for (const Entry &entry : entries) {
        if (entry.isFolder)
            folders.insert(entry.path);
        else if (files.contains(entry.path))
            return unsafe(QStringLiteral("%1 appears twice").arg(entry.path));
        else
            files.insert(entry.path);
        for (int slash = entry.path.indexOf(QLatin1Char('/')); slash > 0;
             slash = entry.path.indexOf(QLatin1Char('/'), slash + 1))
            folders.insert(entry.path.left(slash));
    }
    for (const QString &file : files) {
        if (folders.contains(file))
            return unsafe(QStringLiteral("%1 is both a file and a folder").arg(file));
    }
    return {};
}

platform::Error readEntries(QVZipArchive &archive, std::vector<Entry> &entries, quint64 &totalSize) {
    std::vector<QVZipArchive::Entry> stored;
    QString reason;
    if (!archive.entries(&stored, &reason))
        return damaged(reason);
    if (stored.empty())
        return damaged(QStringLiteral("the archive holds nothing"));
    totalSize = 0;
    for (const QVZipArchive::Entry &item : stored) {
        const QByteArray &bytes = item.name;
        if (size_t(bytes.size()) > kMaxNameBytes || bytes.count('/') > kMaxNameDepth)
            return unsafe(QStringLiteral("entry %1 has a name too long or too deep").arg(item.index));
        const QString name = QString::fromUtf8(bytes);
        const QString path = safePath(name);
        if (path.isEmpty())
            return unsafe(QStringLiteral("entry path %1").arg(name));
        if (item.encrypted)
            return damaged(QStringLiteral("entry %1 is encrypted").arg(name));
        if (item.hasUnixMode) {
            const mode_t type = item.unixMode & S_IFMT;
            if (type != 0 && type != S_IFREG && type != S_IFDIR)
                return unsafe(QStringLiteral("entry %1 is a link or special file").arg(name));
        }
        const bool isFolder = name.endsWith(QLatin1Char('/'));
        if (totalSize + item.size < totalSize)
            return damaged(QStringLiteral("sizes overflow"));
        totalSize += item.size;
        entries.push_back({item.index, path, isFolder, item.size});
    }
    return checkNames(entries);
}

platform::Error checkLayout(const std::vector<Entry> &entries, const QString &type, const QString &code) {
    if (type != QLatin1String(QVPackageFolders::kTranslationType)) {
        for (const Entry &entry : entries) {
            if (!entry.isFolder)
                return {};
        }
        return wrongLayout(QStringLiteral("no file in the archive"));
    }
    if (code.isEmpty() || safePath(code) != code || code.contains(QLatin1Char('/')))
        return wrongLayout(QStringLiteral("no language code"));
    const QString toEnglish = code + QStringLiteral("-en");
    const QString fromEnglish = QStringLiteral("en-") + code;
    const QString englishTokenizer = QStringLiteral("en.spm.model");
    const QString languageTokenizer = code + QStringLiteral(".spm.model");
    QSet<QString> files;
    QSet<QString> modelFolders;
    for (const Entry &entry : entries) {
        const QString top = entry.path.section(QLatin1Char('/'), 0, 0);
        if (top != toEnglish && top != fromEnglish)
            return wrongLayout(QStringLiteral("unexpected item %1").arg(top));
        if (entry.isFolder)
            continue;
        if (entry.path == top)
            return wrongLayout(QStringLiteral("%1 is not a folder").arg(top));
        files.insert(entry.path);
        const QString inner = entry.path.mid(top.size() + 1);
        if (inner != englishTokenizer && inner != languageTokenizer)
            modelFolders.insert(top);
    }
    for (const QString &folder : {toEnglish, fromEnglish}) {
        if (!files.contains(folder + QLatin1Char('/') + englishTokenizer) ||
            !files.contains(folder + QLatin1Char('/') + languageTokenizer) || !modelFolders.contains(folder))
            return wrongLayout(QStringLiteral("%1 is incomplete").arg(folder));
    }
    return {};
}

platform::Error extract(QVZipArchive &archive, const Entry &entry, const QString &root) {
    const QString target = QDir(root).filePath(entry.path);
    if (entry.isFolder) {
        if (!QDir().mkpath(target))
            return writeFailed(root, QStringLiteral("cannot create %1").arg(entry.path));
        return {};
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return writeFailed(root, QStringLiteral("cannot create the folder of %1").arg(entry.path));
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFileInfo::exists(target) ? unsafe(QStringLiteral("%1 appears twice").arg(entry.path))
                                         : writeFailed(root, out.errorString());
    QString reason;
    if (!archive.openEntry(entry.index, &reason))
        return damaged(QStringLiteral("%1: %2").arg(entry.path, reason));
    std::vector<char> buffer(1 << 16);
    quint64 written = 0;
    for (;;) {
        const qint64 read = archive.read(buffer.data(), qint64(buffer.size()), &reason);
        if (read < 0)
            return damaged(QStringLiteral("%1: %2").arg(entry.path, reason));
        if (read == 0)
            break;
        written += quint64(read);
        if (written > entry.size)
            return damaged(QStringLiteral("%1 is larger than it says").arg(entry.path));
        if (out.write(buffer.data(), read) != read)
            return writeFailed(root, out.errorString());
    }
    if (written != entry.size)
        return damaged(QStringLiteral("%1 is shorter than it says").arg(entry.path));
    if (!archive.closeEntry(&reason))
        return damaged(QStringLiteral("%1 fails its checksum").arg(entry.path));
    if (!out.flush())
        return writeFailed(root, out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError)
        return writeFailed(root, out.errorString());
    return {};
}

// A real folder of this user: not a link, not someone else's.
bool isOwnFolder(const QString &path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

// Leftovers of an unpack that was killed. Anything else under the name (a link
// planted there, above all) is removed itself, never followed.
void removeStaleStages(const QString &parent) {
    const QStringList stale =
        QDir(parent).entryList({kStagePrefix + QLatin1Char('*')},
                               QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : stale) {
        const QString path = QDir(parent).filePath(name);
        if (isOwnFolder(path))
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}

bool exists(const QString &path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Moves the staged items into the destination; on failure everything moved
// is taken back and the previous items return.
platform::Error place(const QString &staged, const QString &previous, const QString &destination,
                      QStringList *placed) {
    const QStringList items =
        QDir(staged).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    QStringList moved;
    QStringList keptAside;
    QDir dir;
    auto rollBack = [&] {
        for (const QString &item : moved)
            dir.rename(QDir(destination).filePath(item), QDir(staged).filePath(item));
        for (const QString &item : keptAside)
            dir.rename(QDir(previous).filePath(item), QDir(destination).filePath(item));
    };
    for (const QString &item : items) {
        const QString target = QDir(destination).filePath(item);
        if (exists(target)) {
            if (!dir.rename(target, QDir(previous).filePath(item))) {
                rollBack();
                return writeFailed(destination, QStringLiteral("cannot move the old %1 aside").arg(item));
            }
            keptAside.append(item);
        }
        if (!dir.rename(QDir(staged).filePath(item), target)) {
            rollBack();
            return writeFailed(destination, QStringLiteral("cannot move %1 into place").arg(item));
        }
        moved.append(item);
    }
    if (placed)
        *placed = moved;
    return {};
}

} // namespace

void QVPackageUnpacker::setFreeSpaceFunction(FreeSpace function) {
    freeSpaceFunction() = std::move(function);
}

platform::Error QVPackageUnpacker::unpack(const Request &request, QStringList *placed) {
    QMutexLocker lock(&unpackMutex());
    QString reason;
    const std::unique_ptr<QVZipArchive> archive = QVZipArchive::open(request.archivePath, &reason);
    if (!archive)
        return damaged(reason);
    std::vector<Entry> entries;
    quint64 totalSize = 0;
    if (platform::Error error = readEntries(*archive, entries, totalSize))
        return error;
    if (platform::Error error = checkLayout(entries, request.type, request.languageCode))
        return error;

    if (!QDir().mkpath(request.destination))
        return writeFailed(request.destination, QStringLiteral("cannot create the package folder"));
    const QString parent = QFileInfo(QDir::cleanPath(request.destination)).absolutePath();
    if (totalSize > quint64(std::numeric_limits<qint64>::max()) ||
        freeSpace(parent) < qint64(totalSize) + kSpareBytes)
        return unpackError(NotEnoughSpace, "_loc_err_package_disk_full",
                           QStringLiteral("%1 bytes needed").arg(totalSize));

    removeStaleStages(parent);
    QTemporaryDir stage(QDir(parent).filePath(kStagePrefix + QStringLiteral("XXXXXX")));
    if (!stage.isValid())
        return writeFailed(parent, stage.errorString());
    if (!isOwnFolder(stage.path())) {
        stage.setAutoRemove(false); // whatever took its place is not ours to empty
        return writeFailed(parent, QStringLiteral("the staging folder was replaced"));
    }
    const QString staged = stage.filePath(QStringLiteral("new"));
    const QString previous = stage.filePath(QStringLiteral("old"));
    if (!QDir().mkpath(staged) || !QDir().mkpath(previous))
        return writeFailed(parent, QStringLiteral("cannot create the staging folder"));
    for (const Entry &entry : entries) {
        if (platform::Error error = extract(*archive, entry, staged))
            return error;
    }
    return place(staged, previous, request.destination, placed);
}
