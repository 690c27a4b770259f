#include "RealProgram.h"

#include "support/EventLoop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariantMap>

#include <csignal>
#include <fcntl.h>
#include <sqlite3.h>

namespace qvtest {

QProcessEnvironment programEnvironment(const QVariantMap &set) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QV_HOME", "QV_RESOURCES_DIR", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                             "DBUS_SESSION_BUS_ADDRESS", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_STATE_HOME", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    for (auto it = set.cbegin(); it != set.cend(); ++it)
        environment.insert(it.key(), it.value().toString());
    return environment;
}

namespace {

// Read from a copy of the file and its log: a reader beside the program would take part in its
// locking, and this test watches the program, not the store's sharing.
QString storedTranslation(const QString &storePath, const QString &original) {
    QTemporaryDir copy;
    const QString snapshot = copy.filePath(QStringLiteral("store.sqlite"));
    if (!copy.isValid() || !QFile::copy(storePath, snapshot))
        return {};
    QFile::copy(storePath + QStringLiteral("-wal"), snapshot + QStringLiteral("-wal"));
    sqlite3 *db = nullptr;
    QString translated;
    if (sqlite3_open_v2(QFile::encodeName(snapshot).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        sqlite3_stmt *statement = nullptr;
        const char *sql = "SELECT translatedText FROM \"QVTranslationRealm\" WHERE originalText = ?1";
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            const QByteArray text = original.toUtf8();
            sqlite3_bind_text(statement, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(statement) == SQLITE_ROW)
                translated =
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return translated;
}

} // namespace

QString waitForTranslation(const QString &storePath, const QString &original, const QProcess &program,
                           int timeoutMs) {
    QString translated;
    QElapsedTimer sinceLook;
    waitUntil(
        [&] {
            // A look every fifth of a second: each copies the store.
            if (sinceLook.isValid() && sinceLook.elapsed() < 200)
                return program.state() == QProcess::NotRunning;
            sinceLook.start();
            translated = storedTranslation(storePath, original);
            return !translated.isEmpty() || program.state() == QProcess::NotRunning;
        },
        timeoutMs);
    return translated;
}

void closeInheritedDescriptorsOnExec() {
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString &entry :
         descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        bool number = false;
        const int fd = entry.toInt(&number);
        if (number && fd > 2)
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    }
}

QStringList openedPaths(qint64 pid) {
    QStringList paths;
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (maps.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const qsizetype slash = line.indexOf('/');
            if (slash >= 0)
                paths << QString::fromUtf8(line.mid(slash));
        }
    }
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &entry : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        paths << QFileInfo(descriptors.filePath(entry)).symLinkTarget();
    paths.removeDuplicates();
    return paths;
}

QStringList pathsBelow(const QStringList &paths, const QStringList &folders) {
    QStringList found;
    for (const QString &path : paths) {
        for (const QString &folder : folders) {
            if (path == folder || path.startsWith(folder + QLatin1Char('/')))
                found << path;
        }
    }
    return found;
}

bool endsCleanlyOn(QProcess &program, int signalNumber, QString *why) {
    // Never pid 0, which would signal this process's own group.
    const qint64 pid = program.processId();
    if (pid <= 0 || program.state() != QProcess::Running) {
        *why = QStringLiteral("it had ended before the signal (%1 %2)")
                   .arg(program.exitStatus() == QProcess::NormalExit ? QStringLiteral("status")
                                                                     : QStringLiteral("crash, signal"))
                   .arg(program.exitCode());
        return false;
    }
    ::kill(pid_t(pid), signalNumber);
    if (!program.waitForFinished(60000)) {
        *why = QStringLiteral("still running a minute after the signal");
        program.kill();
        program.waitForFinished(5000);
        return false;
    }
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0) {
        *why = QStringLiteral("ended with status %1 (%2)")
                   .arg(program.exitCode())
                   .arg(program.exitStatus() == QProcess::NormalExit ? QStringLiteral("exited")
                                                                     : QStringLiteral("by a signal"));
        return false;
    }
    return true;
}

} // namespace qvtest
