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
    QDir().mkpath(QFileInfo(path).absolutePath());
    rotateIfLarge(path);
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::WriteOnly))
        return;
    file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
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

void FileCrashReporter::rotateIfLarge(const QString &path) const {
    if (QFileInfo(path).size() < kMaxFileBytes)
        return;
    const QString previous = path + QStringLiteral(".1");
    QFile::remove(previous);
    QFile::rename(path, previous);
}

} // namespace platform
