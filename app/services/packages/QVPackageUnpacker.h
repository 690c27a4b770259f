#pragma once

#include "platform/Error.h"

#include <QString>
#include <QStringList>

#include <functional>

// Unpacks a package archive into its folder so that a failure never leaves
// half a package: every entry is checked first (no "..", no absolute path, no
// link or device, names of at most 4,096 bytes and 64 levels, sizes that fit
// the disk), the archive is unpacked into a fresh staging folder beside the
// destination (links planted there are removed, never followed), and only a
// complete unpack replaces the destination's items of the same names, old ones
// restored on failure.
// Translation archives must hold exactly "<code>-en/" and "en-<code>/", each
// with both tokenizers and a model. Unpacks run one at a time, on any thread.
//
//   QVPackageUnpacker::Request request{archive, QVPackageFolders::unpackFolderForType(type), type, code};
//   if (const platform::Error error = QVPackageUnpacker::unpack(request)) ...
class QVPackageUnpacker {
public:
    static constexpr const char *kErrorDomain = "QVPackageUnpacker";
    enum ErrorCode {
        UnreadableArchive = 1, // not a zip, damaged, encrypted, wrong checksums
        UnsafeEntry = 2,       // a path leaving the folder, a link, a special file
        WrongLayout = 3,       // not what a package of the type holds
        NotEnoughSpace = 4,
        WriteFailed = 5,
    };

    struct Request {
        QString archivePath;
        QString destination; // the type's unpack folder
        QString type;
        QString languageCode;
    };

    // The names placed in the destination, on success.
    static platform::Error unpack(const Request &request, QStringList *placed = nullptr);

    // Free bytes of the disk holding a folder (tests set their own; empty restores the system's).
    using FreeSpace = std::function<qint64(const QString &folder)>;
    static void setFreeSpaceFunction(FreeSpace freeSpace);

    QVPackageUnpacker() = delete;
};
