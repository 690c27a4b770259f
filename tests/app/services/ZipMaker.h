#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <sys/stat.h>
#include <zip.h>

// Writes zip archives for the unpacking tests, including ones no honest
// package maker would write (escaping paths, links, lying checksums).
struct ZipItem {
    enum Kind { File, Folder, Link };
    QString name;
    QByteArray data; // a link's target for Link
    Kind kind = File;
};

inline bool makeZip(const QString &path, const QList<ZipItem> &items, bool store = false) {
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const ZipItem &item : items) {
        const QByteArray name = item.name.toUtf8();
        zip_int64_t index = -1;
        if (item.kind == ZipItem::Folder) {
            index = zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8);
        } else {
            // libzip reads the buffer when the archive is closed; the copy lives until then.
            char *copy = static_cast<char *>(malloc(size_t(qMax(1, int(item.data.size())))));
            memcpy(copy, item.data.constData(), size_t(item.data.size()));
            zip_source_t *source = zip_source_buffer(archive, copy, zip_uint64_t(item.data.size()), 1);
            index = zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
            if (index < 0)
                zip_source_free(source);
        }
        if (index < 0) {
            zip_discard(archive);
            return false;
        }
        if (store)
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
        if (item.kind == ZipItem::Link)
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(S_IFLNK | 0777) << 16);
    }
    return zip_close(archive) == 0;
}

// A translation package as the backend serves it: both direction folders with
// both tokenizers and a model, each file's text naming what it is.
inline QList<ZipItem> translationPackage(const QString &code, const QByteArray &version = "1") {
    QList<ZipItem> items;
    for (const QString &folder : {code + "-en", "en-" + code}) {
        items.append({folder + "/", {}, ZipItem::Folder});
        items.append({folder + "/en.spm.model", "en tokenizer " + version, ZipItem::File});
        items.append(
            {folder + "/" + code + ".spm.model", code.toUtf8() + " tokenizer " + version, ZipItem::File});
        items.append({folder + "/saved_model.pt", "model " + folder.toUtf8() + " " + version, ZipItem::File});
    }
    return items;
}
