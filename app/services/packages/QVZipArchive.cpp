#include "services/packages/QVZipArchive.h"

#include "platform/OnDemandLibrary.h"

#include <QFile>

namespace {

using OpenFunction = QVZipArchive *(*)(const char *path, QString *error);

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary unzip("libqvunzip.so", "QV_UNZIP_MODULE",
                                           QStringLiteral(QV_UNZIP_MODULE_PATH));
    return unzip;
}

} // namespace

std::unique_ptr<QVZipArchive> QVZipArchive::open(const QString &path, QString *error) {
    const auto openArchive = reinterpret_cast<OpenFunction>(library().symbol("qvUnzipModuleOpen"));
    if (!openArchive) {
        *error = library().error();
        return nullptr;
    }
    return std::unique_ptr<QVZipArchive>(openArchive(QFile::encodeName(path).constData(), error));
}

bool QVZipArchive::isModuleLoaded() {
    return library().isLoaded();
}
