#include "UserDefaults.h"

#include "AppPaths.h"
#include "IntegerValue.h"
#include "ProblemReporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString defaultFile() {
    return QDir(AppPaths::config()).filePath(QStringLiteral("user-defaults.ini"));
}

// Made (or narrowed) to 0600 before QSettings writes: its atomic saves keep the mode
// of the file they replace, so the token never sits in a world-readable file.
void restrictToOwner(const QString &filePath) {
    const int fd =
        ::open(QFile::encodeName(filePath).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    ::fchmod(fd, 0600);
    ::close(fd);
}

// Called outside the lock: a reporter may well read the defaults.
void reportUnwritable(const QString &path) {
    if (path.isEmpty())
        return;
    qWarning("[defaults] cannot write %s: settings are kept in memory for this run only", qPrintable(path));
    reportProblem(QStringLiteral("User defaults not saved"), {{QStringLiteral("path"), path}});
}

bool truthy(const QVariant &value) {
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("yes") || text == QLatin1String("true"))
            return true;
        return text.toDouble() != 0;
    }
    return value.toBool();
}

// Says once per key that its stored number does not fit; the value itself may be user text and stays out.
void warnOutOfRangeOnce(const QString &key) {
    static QMutex mutex;
    static QSet<QString> warned;
    QMutexLocker lock(&mutex);
    if (warned.contains(key))
        return;
    warned.insert(key);
    qWarning("[defaults] \"%s\" holds a number outside the 64-bit range; reading its default",
             qPrintable(key));
}

bool isScalar(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QString:
        return true;
    default:
        return false;
    }
}

// Whether writing `value` would leave the file as it is. The file holds text, so a number, a flag
// and a string are the same value when they read the same.
bool sameAsStored(const QVariant &stored, const QVariant &value) {
    if (!stored.isValid())
        return false;
    if (stored.typeId() == value.typeId())
        return stored == value;
    return isScalar(stored) && isScalar(value) && stored.toString() == value.toString();
}

} // namespace

UserDefaults::UserDefaults(const QString &filePath, QObject *parent) : QObject(parent) {
    open(filePath);
}

UserDefaults::~UserDefaults() = default;

UserDefaults &UserDefaults::standard() {
    static UserDefaults *instance = [] {
        auto *defaults = new UserDefaults(defaultFile());
        // Receivers of changed() expect the main thread's object even when first used elsewhere.
        if (QCoreApplication *app = QCoreApplication::instance())
            defaults->moveToThread(app->thread());
        return defaults;
    }();
    return *instance;
}

void UserDefaults::setStorageFile(const QString &path) {
    standard().open(path.isEmpty() ? defaultFile() : path);
}

void UserDefaults::open(const QString &filePath) {
    QMutexLocker lock(&m_mutex);
    if (m_settings)
        m_settings->sync();
    if (QFileInfo(filePath).absolutePath() == QFileInfo(AppPaths::config()).absoluteFilePath())
        AppPaths::ensurePrivate(AppPaths::config());
    else
        QDir().mkpath(QFileInfo(filePath).absolutePath());
    restrictToOwner(filePath);
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    m_reportedUnwritable = false;
}

// Called with m_mutex held; the file that could not be written, the first time only.
QString UserDefaults::syncAndCheck() {
    m_settings->sync();
    if (m_settings->status() != QSettings::AccessError || m_reportedUnwritable)
        return {};
    m_reportedUnwritable = true;
    return m_settings->fileName();
}

QString UserDefaults::filePath() const {
    QMutexLocker lock(&m_mutex);
    return m_settings->fileName();
}

void UserDefaults::registerDefaults(const QVariantMap &defaults) {
    QStringList changedKeys;
    {
        QMutexLocker lock(&m_mutex);
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
            if (!m_settings->contains(it.key()) && m_registered.value(it.key()) != it.value())
                changedKeys << it.key();
            m_registered.insert(it.key(), it.value());
        }
    }
    for (const QString &key : changedKeys)
        emit changed(key);
}

QVariant UserDefaults::objectForKey(const QString &key) const {
    QMutexLocker lock(&m_mutex);
    if (m_settings->contains(key))
        return m_settings->value(key);
    return m_registered.value(key);
}

bool UserDefaults::boolForKey(const QString &key) const {
    return truthy(objectForKey(key));
}

qint64 UserDefaults::integerForKey(const QString &key) const {
    if (const std::optional<qint64> stored = integerFromValue(objectForKey(key)))
        return *stored;
    warnOutOfRangeOnce(key);
    QVariant fallback;
    {
        QMutexLocker lock(&m_mutex);
        fallback = m_registered.value(key);
    }
    return integerFromValue(fallback).value_or(0);
}

double UserDefaults::doubleForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    return value.toDouble();
}

QString UserDefaults::stringForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    // Like the platform: only strings and numbers read as strings.
    if (value.canConvert<QString>() && value.typeId() != QMetaType::QVariantMap &&
        value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
        return value.toString();
    return QString();
}

QVariantMap UserDefaults::dictionaryForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

QVariantList UserDefaults::arrayForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList)
        return value.toList();
    return QVariantList();
}

void UserDefaults::setObject(const QVariant &value, const QString &key) {
    if (!value.isValid()) {
        removeObject(key);
        return;
    }
    QString unwritable;
    {
        QMutexLocker lock(&m_mutex);
        // Values stored again on every start (a panel's tab, a window's choice) cost no file write.
        if (!sameAsStored(m_settings->contains(key) ? m_settings->value(key) : QVariant(), value)) {
            m_settings->setValue(key, value);
            unwritable = syncAndCheck();
        }
    }
    reportUnwritable(unwritable);
    emit changed(key);
}

void UserDefaults::removeObject(const QString &key) {
    QString unwritable;
    {
        QMutexLocker lock(&m_mutex);
        m_settings->remove(key);
        unwritable = syncAndCheck();
    }
    reportUnwritable(unwritable);
    emit changed(key);
}

} // namespace platform
