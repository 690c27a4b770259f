#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// A zip archive read entry by entry, through the unzip module: libzip and the libraries it
// brings (libcrypto, bzip2, xz, zstd) load with the first package, not at start.
//
//   std::unique_ptr<QVZipArchive> zip = QVZipArchive::open(path, &error);
//   std::vector<QVZipArchive::Entry> entries;
//   if (zip && zip->entries(&entries, &error) && zip->openEntry(entries[0].index, &error)) ...
//
// The archive's consistency is checked on opening and each entry's checksum on closing it.
// A module that cannot be loaded makes open() fail saying so. The module is looked for at
// $QV_UNZIP_MODULE, beside the program, then where the build made it. One entry is open at a time.
class QVZipArchive {
public:
    struct Entry {
        quint64 index = 0;
        QByteArray name; // as stored
        quint64 size = 0;
        bool encrypted = false;
        bool hasUnixMode = false; // made on a Unix system: unixMode holds its st_mode bits
        quint32 unixMode = 0;
    };

    virtual ~QVZipArchive() = default;

    // Every entry; false, with `error` saying why, when one cannot be read.
    virtual bool entries(std::vector<Entry> *entries, QString *error) = 0;
    virtual bool openEntry(quint64 index, QString *error) = 0;
    // Bytes read from the open entry into `buffer`; 0 at its end, -1 on error.
    virtual qint64 read(char *buffer, qint64 size, QString *error) = 0;
    // Closes the open entry; false when it fails its checksum.
    virtual bool closeEntry(QString *error) = 0;

    static std::unique_ptr<QVZipArchive> open(const QString &path, QString *error);
    // Whether the module was loaded in this process.
    static bool isModuleLoaded();
};
