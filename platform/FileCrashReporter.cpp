#include "FileCrashReporter.h"

#include "AppPaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileCrashReporter::FileCrashReporter(QString filePath) : m_filePath(std::move(filePath)) {}

void FileCrashReporter::log(const QString &line) {
    QMutexLocker lock(&m_mutex);
    m_breadcrumbs.append(line.left(kMaxLineLength));
    while (m_breadcrumbs.size() > kMaxBreadcrumbs)
        m_breadcrumbs.removeFirst();
}

void FileCrashReporter::recordError(const QString &domain, qint64 code, const QVariantMap &userInfo) {
    QMutexLocker lock(&m_mutex);
    QJsonObject record;
    record.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    record.insert(QStringLiteral("version"), QCoreApplication::applicationVersion());
    record.insert(QStringLiteral("domain"), domain);
    record.insert(QStringLiteral("code"), code);
    record.insert(QStringLiteral("userInfo"), QJsonObject::fromVariantMap(userInfo));
    record.insert(QStringLiteral("userId"), m_userId);
    record.insert(QStringLiteral("customKeys"), QJsonObject::fromVariantMap(m_customKeys));
    record.insert(QStringLiteral("breadcrumbs"), QJsonArray::fromStringList(m_breadcrumbs));

    const QString path = m_filePath.isEmpty() ? filePath() : m_filePath;
    if (m_filePath.isEmpty())
        AppPaths::ensurePrivate(AppPaths::state());
    else
        QDir().mkpath(QFileInfo(path).absolutePath());
    append(path, QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
}

// Under an exclusive lock on "<file>.lock": one process at a time checks the size,
// rotates and appends, so two never rotate the same file twice over.
void FileCrashReporter::append(const QString &path, const QByteArray &line) {
    const int lock = ::open(QFile::encodeName(path + QStringLiteral(".lock")).constData(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock >= 0) {
        while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    rotateIfLarge(path);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600); // a file left by an older version may be wider
        const char *data = line.constData();
        qsizetype left = line.size();
        while (left > 0) {
            const ssize_t written = ::write(fd, data, size_t(left));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                break;
            data += written;
            left -= written;
        }
        ::close(fd);
    }
    if (lock >= 0)
        ::close(lock); // releases the lock
}

void FileCrashReporter::setUserId(const QString &userId) {
    QMutexLocker lock(&m_mutex);
    m_userId = userId;
}

void FileCrashReporter::setCustomKey(const QString &key, const QVariant &value) {
    QMutexLocker lock(&m_mutex);
    m_customKeys.insert(key, value);
}

QStringList FileCrashReporter::breadcrumbs() const {
    QMutexLocker lock(&m_mutex);
    return m_breadcrumbs;
}

QString FileCrashReporter::filePath() const {
    if (!m_filePath.isEmpty())
        return m_filePath;
    return QDir(AppPaths::state()).filePath(QString::fromLatin1(kFileName));
}

// rename() replaces the previous ".1" in one step: there is no moment without it.
void FileCrashReporter::rotateIfLarge(const QString &path) {
    if (QFileInfo(path).size() < kMaxFileBytes)
        return;
    ::rename(QFile::encodeName(path).constData(), QFile::encodeName(path + QStringLiteral(".1")).constData());
}

} // namespace platform
