#include "QVAutostartEntry.h"

#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString QVAutostartEntry::path() {
    return QDir(platform::AppPaths::autostart()).filePath(QString::fromLatin1(kFileName));
}

bool QVAutostartEntry::isInstalled() {
    return QFile::exists(path());
}

namespace {

// One argument of Exec=, quoted when it holds a reserved character, with "%" doubled for the
// field codes; then escaped as a string value (where a backslash is itself escaped).
QByteArray execArgument(const QString &argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (const QChar ch : argument)
        quote = quote || reserved.contains(ch) || !ch.isPrint();
    QString out;
    for (const QChar ch : argument) {
        if (quote && QStringLiteral("\"`$\\").contains(ch))
            out += QLatin1Char('\\');
        out += ch;
    }
    if (quote)
        out = QLatin1Char('"') + out + QLatin1Char('"');
    out.replace(QLatin1Char('%'), QLatin1String("%%"));
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return out.toUtf8();
}

} // namespace

QByteArray QVAutostartEntry::contents() {
    return contents(QCoreApplication::applicationFilePath(), qEnvironmentVariable("PATH"));
}

QByteArray QVAutostartEntry::contents(const QString &program, const QString &path) {
    const QFileInfo info(program);
    const QStringList folders = path.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // An empty list would have Qt search the environment's PATH instead.
    const QString found =
        folders.isEmpty() ? QString() : QStandardPaths::findExecutable(info.fileName(), folders);
    const bool onPath = !found.isEmpty() && QFileInfo(found).canonicalFilePath() == info.canonicalFilePath();
    const QByteArray command = execArgument(onPath ? info.fileName() : info.absoluteFilePath());
    return QByteArray("[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Quorvalde Translator\n"
                      "Exec=") +
           command + " " + kServiceOption +
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
