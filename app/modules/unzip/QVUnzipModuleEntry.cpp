// The unzip module's entry point (see services/packages/QVZipArchive.h): the only code that
// links libzip.
#include "services/packages/QVZipArchive.h"

#include <QtGlobal>

#include <zip.h>

namespace {

class LibzipArchive : public QVZipArchive {
public:
    explicit LibzipArchive(zip_t *archive) : m_archive(archive) {}
    ~LibzipArchive() override {
        if (m_file)
            zip_fclose(m_file);
        zip_discard(m_archive);
    }
    LibzipArchive(const LibzipArchive &) = delete;
    LibzipArchive &operator=(const LibzipArchive &) = delete;

    bool entries(std::vector<Entry> *entries, QString *error) override {
        const zip_int64_t count = zip_get_num_entries(m_archive, 0);
        if (count < 0) {
            *error = QString::fromUtf8(zip_strerror(m_archive));
            return false;
        }
        for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_stat_index(m_archive, i, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME) ||
                !(stat.valid & ZIP_STAT_SIZE)) {
                *error = QStringLiteral("entry %1 cannot be read").arg(i);
                return false;
            }
            Entry entry;
            entry.index = i;
            entry.name = QByteArray(stat.name);
            entry.size = stat.size;
            entry.encrypted = (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
            zip_uint8_t opsys = 0;
            zip_uint32_t attributes = 0;
            if (zip_file_get_external_attributes(m_archive, i, 0, &opsys, &attributes) == 0 &&
                opsys == ZIP_OPSYS_UNIX) {
                entry.hasUnixMode = true;
                entry.unixMode = attributes >> 16;
            }
            entries->push_back(entry);
        }
        return true;
    }

    bool openEntry(quint64 index, QString *error) override {
        if (m_file) {
            zip_fclose(m_file);
            m_file = nullptr;
        }
        m_file = zip_fopen_index(m_archive, index, 0);
        if (!m_file)
            *error = QString::fromUtf8(zip_strerror(m_archive));
        return m_file != nullptr;
    }

    qint64 read(char *buffer, qint64 size, QString *error) override {
        if (!m_file) {
            *error = QStringLiteral("no entry is open");
            return -1;
        }
        const zip_int64_t read = zip_fread(m_file, buffer, zip_uint64_t(size));
        if (read < 0)
            *error = QString::fromUtf8(zip_file_strerror(m_file));
        return read;
    }

    bool closeEntry(QString *error) override {
        zip_file_t *file = m_file;
        m_file = nullptr;
        if (file && zip_fclose(file) != 0) {
            *error = QStringLiteral("it fails its checksum");
            return false;
        }
        return true;
    }

private:
    zip_t *m_archive;
    zip_file_t *m_file = nullptr;
};

} // namespace

extern "C" Q_DECL_EXPORT QVZipArchive *qvUnzipModuleOpen(const char *path, QString *error) {
    int code = 0;
    zip_t *archive = zip_open(path, ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        *error = QString::fromUtf8(zip_error_strerror(&zipError));
        zip_error_fini(&zipError);
        return nullptr;
    }
    return new LibzipArchive(archive);
}
