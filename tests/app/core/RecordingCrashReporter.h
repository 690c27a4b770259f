#pragma once

#include "platform/CrashReporter.h"

#include <QMutex>
#include <QStringList>

// Keeps every call so tests can check what reached the crash reporter.
class RecordingCrashReporter : public platform::CrashReporter {
public:
    struct Record {
        QString domain;
        qint64 code = 0;
        QVariantMap userInfo;
    };

    void log(const QString &line) override {
        QMutexLocker lock(&mutex);
        lines << line;
    }
    void recordError(const QString &domain, qint64 code, const QVariantMap &userInfo) override {
        QMutexLocker lock(&mutex);
        records.append({domain, code, userInfo});
    }
    void setUserId(const QString &id) override { userId = id; }
    void setCustomKey(const QString &key, const QVariant &value) override { customKeys.insert(key, value); }

    QMutex mutex;
    QStringList lines;
    QList<Record> records;
    QString userId;
    QVariantMap customKeys;
};
