#include "platform/OnDemandLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace platform {

OnDemandLibrary::OnDemandLibrary(const char *fileName, const char *environmentVariable, QString buildPath)
    : m_fileName(fileName), m_environmentVariable(environmentVariable), m_buildPath(std::move(buildPath)) {}

QStringList OnDemandLibrary::candidates() const {
    const QString overridden = qEnvironmentVariable(m_environmentVariable);
    if (!overridden.isEmpty())
        return {overridden};
    QStringList paths;
    const QString beside = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (!beside.isEmpty())
        paths << QDir(beside).filePath(QString::fromLatin1(m_fileName));
    if (!m_buildPath.isEmpty())
        paths << m_buildPath;
    return paths;
}

void *OnDemandLibrary::symbol(const char *name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_attempted) {
        m_attempted = true;
        QStringList reasons;
        for (const QString &path : candidates()) {
            if (!QFileInfo::exists(path)) {
                reasons << QStringLiteral("%1: missing").arg(path);
                continue;
            }
            m_handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
            if (m_handle)
                break;
            reasons << QString::fromLocal8Bit(dlerror());
        }
        if (!m_handle)
            m_error = QStringLiteral("%1 could not be loaded (%2)")
                          .arg(QString::fromLatin1(m_fileName), reasons.join(QStringLiteral("; ")));
    }
    if (!m_handle)
        return nullptr;
    void *found = dlsym(m_handle, name);
    if (!found)
        m_error =
            QStringLiteral("%1 has no %2").arg(QString::fromLatin1(m_fileName), QString::fromLatin1(name));
    return found;
}

QString OnDemandLibrary::error() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

bool OnDemandLibrary::isLoaded() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handle != nullptr;
}

} // namespace platform
