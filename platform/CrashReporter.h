#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

namespace platform {

// What the application needs of a crash reporter: breadcrumb lines, recorded
// errors, the user id and custom keys. Implementations are thread-safe.
class CrashReporter {
public:
    virtual ~CrashReporter() = default;

    virtual void log(const QString &line) = 0;
    virtual void recordError(const QString &domain, qint64 code, const QVariantMap &userInfo) = 0;
    virtual void setUserId(const QString &userId) = 0;
    virtual void setCustomKey(const QString &key, const QVariant &value) = 0;

    // The process-wide reporter, a FileCrashReporter unless replaced.
    static std::shared_ptr<CrashReporter> shared();
    // Tests install their own; nullptr restores the default.
    static void setShared(std::shared_ptr<CrashReporter> reporter);
};

} // namespace platform
