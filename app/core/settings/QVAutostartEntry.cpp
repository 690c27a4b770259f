#include "QVAutostartEntry.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

QString QVAutostartEntry::path() {
    return QDir(platform::AppPaths::autostart()).filePath(QString::fromLatin1(kFileName));
}

bool QVAutostartEntry::isInstalled() {
    return QFile::exists(path());
}

QByteArray QVAutostartEntry::contents() {
    return QByteArray("[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Quorvalde Translator\n"
                      "Exec=") +
           kExec +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

platform::Error QVAutostartEntry::setEnabled(bool enabled) {
    const QString file = path();
    if (!enabled) {
        if (!QFile::exists(file) || QFile::remove(file))
            return {};
        return platform::Error(QString::fromLatin1(kErrorDomain), CannotRemove,
                               QStringLiteral("The autostart entry %1 could not be removed.").arg(file));
    }
    const QString folder = platform::AppPaths::autostart();
    QSaveFile out(file);
    if (!QDir().mkpath(folder) || !out.open(QIODevice::WriteOnly) || out.write(contents()) < 0 ||
        !out.commit()) {
        const QString reason =
            out.errorString().isEmpty() ? QStringLiteral("the folder cannot be made") : out.errorString();
        return platform::Error(
            QString::fromLatin1(kErrorDomain), CannotWrite,
            QStringLiteral("The autostart entry could not be written to %1: %2.").arg(folder, reason));
    }
    return {};
}
