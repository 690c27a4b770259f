#pragma once

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QVariant>
#include <QVariantMap>

#include <memory>

namespace platform {

// Small persisted choices and flags under string keys, over QSettings (an ini
// file in the config folder). Registered defaults answer for keys with no
// stored value and are never written. Every set or removal is written to disk
// at once and announced with changed(key), which queued receivers get on their
// own thread. Thread-safe.
//
// In an ini file numbers and booleans come back as text after a restart: read
// them with the typed getters, which convert ("YES"/"true"/"1" are true).
//
// The file is readable by its owner only (0600): it holds the account token. When
// it cannot be written (a read-only home), values live on in memory for the run and
// the first failed write is reported once ("User defaults not saved").
class UserDefaults : public QObject {
    Q_OBJECT
public:
    // A store on its own file (tests); standard() uses AppPaths::config()/user-defaults.ini.
    explicit UserDefaults(const QString &filePath, QObject *parent = nullptr);
    ~UserDefaults() override;

    static UserDefaults &standard();
    // Moves standard() to another file, keeping registered defaults; an empty path restores the default file.
    static void setStorageFile(const QString &path);

    void registerDefaults(const QVariantMap &defaults);

    QVariant objectForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    qint64 integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    QVariantMap dictionaryForKey(const QString &key) const;
    QVariantList arrayForKey(const QString &key) const;

    // An invalid value removes the key.
    void setObject(const QVariant &value, const QString &key);
    void setBool(bool value, const QString &key) { setObject(value, key); }
    void setInteger(qint64 value, const QString &key) { setObject(value, key); }
    void setDouble(double value, const QString &key) { setObject(value, key); }
    void removeObject(const QString &key);

    QString filePath() const;

signals:
    void changed(const QString &key);

private:
    void open(const QString &filePath);
    QString syncAndCheck();

    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
    bool m_reportedUnwritable = false;
};

} // namespace platform
