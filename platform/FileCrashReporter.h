#pragma once

#include "CrashReporter.h"

#include <QMutex>
#include <QStringList>

namespace platform {

// The crash reporter of this platform: keeps the latest breadcrumb lines in
// memory and appends every recorded error as one JSON line, with the
// breadcrumbs, user id and custom keys of the moment, to a file in the state
// folder. The file is readable by its owner only (0600). Once it grows past a
// limit it is renamed to "<file>.1" (replacing the previous one); appends and
// rotation of every process of the user are serialised by a lock file, so no
// record is lost when several processes write at the limit.
class FileCrashReporter : public CrashReporter {
public:
    static constexpr int kMaxBreadcrumbs = 200;
    static constexpr int kMaxLineLength = 2000;
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
    static constexpr const char *kFileName = "crash-reports.jsonl";

    // An empty path means AppPaths::state()/crash-reports.jsonl, resolved at each record.
    explicit FileCrashReporter(QString filePath = {});

    void log(const QString &line) override;
    void recordError(const QString &domain, qint64 code, const QVariantMap &userInfo) override;
    void setUserId(const QString &userId) override;
    void setCustomKey(const QString &key, const QVariant &value) override;

    QStringList breadcrumbs() const;
    QString filePath() const;

private:
    static void rotateIfLarge(const QString &path);
    static void append(const QString &path, const QByteArray &line);

    mutable QMutex m_mutex;
    QString m_filePath;
    QStringList m_breadcrumbs;
    QString m_userId;
    QVariantMap m_customKeys;
};

} // namespace platform
