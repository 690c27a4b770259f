#include "ui/main/QVMDocumentHandOff.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "platform/AppPaths.h"
#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>
#include <QUuid>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

QVMDocumentHandOff::Opener &opener() {
    static QVMDocumentHandOff::Opener installed;
    return installed;
}

bool openOnDesktop(const QString &path) {
    const QUrl url = QUrl::fromLocalFile(path);
    const QVMDocumentHandOff::Opener &installed = opener();
    return installed ? installed(url) : QDesktopServices::openUrl(url);
}

platform::Error copyError(const QString &source, const QString &reason) {
    return platform::Error(
        QStringLiteral("com.translator"), 512,
        QStringLiteral("%1 could not be copied: %2").arg(QFileInfo(source).fileName(), reason));
}

// One thread, in order: the removal of the last run's copies comes before any copy of this run.
QThreadPool *diskQueue() {
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(1);
    }
    return pool;
}

QString systemReason() {
    return QString::fromLocal8Bit(::strerror(errno));
}

} // namespace

QVMDocumentHandOff::QVMDocumentHandOff(QObject *parent) : QObject(parent) {
    static std::atomic<bool> removed{false};
    if (!removed.exchange(true))
        diskQueue()->start([] { removeCopies(); });
}

void QVMDocumentHandOff::setOpener(Opener installed) {
    opener() = std::move(installed);
}

QString QVMDocumentHandOff::copiesFolder() {
    const QString runtime = platform::AppPaths::runtime();
    return runtime.isEmpty() ? QString() : QDir(runtime).filePath(QStringLiteral("documents"));
}

void QVMDocumentHandOff::removeCopies() {
    const QString folder = copiesFolder();
    if (!folder.isEmpty() && QFileInfo(folder).isDir() && !QFileInfo(folder).isSymLink())
        QDir(folder).removeRecursively();
}

QString QVMDocumentHandOff::copyPrivately(const QString &source, const QString &folder,
                                          platform::Error *error) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = copyError(source, in.errorString());
        return {};
    }
    if (folder.isEmpty()) {
        *error = copyError(source, QStringLiteral("the session has no runtime folder"));
        return {};
    }
    const QString own = QDir(folder).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(own)) {
        *error = copyError(source, QStringLiteral("%1 cannot be made").arg(own));
        return {};
    }
    platform::AppPaths::ensurePrivate(folder);
    platform::AppPaths::ensurePrivate(own);
    const QString target = QDir(own).filePath(QFileInfo(source).fileName());
    // Made 0600 from the start: the copy is never readable by others, not for a moment.
    const int fd = ::open(QFile::encodeName(target).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = copyError(source, systemReason());
        return {};
    }
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = copyError(source, out.errorString());
        return {};
    }
    bool written = true;
    while (written && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        written = !chunk.isEmpty() && out.write(chunk) == chunk.size();
    }
    if (!written || in.error() != QFileDevice::NoError || !out.flush()) {
        const QString reason = in.error() != QFileDevice::NoError ? in.errorString() : out.errorString();
        out.close();
        QDir(own).removeRecursively();
        *error = copyError(source, reason);
        return {};
    }
    return target;
}

void QVMDocumentHandOff::open(const QString &path) {
    // Where the manager saved it, first.
    if (openOnDesktop(path))
        return;
    // The copy is disk work: off the interface thread.
    diskQueue()->start([path] {
        platform::Error error;
        const QString copy = copyPrivately(path, copiesFolder(), &error);
        platform::dispatchAsyncMain([path, copy, error] {
            if (copy.isEmpty()) {
                DevLog(QStringLiteral("[error] %@"), error.localizedDescription());
                DevLogger::logError(error, QStringLiteral("openTranslatedDocument"));
                return;
            }
            DevLog(QStringLiteral("[file] New URL: %@"), QFileInfo(copy).fileName());
            if (!openOnDesktop(copy))
                DevLog(QStringLiteral("[file] the desktop opened neither %@ nor its copy"),
                       QFileInfo(path).fileName());
        });
    });
}
