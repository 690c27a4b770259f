#include "platform/OnDemandLibrary.h"

#include "platform/BundleLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

// Written by the build (cmake/QvBuildId.cmake) beside the source its modules compile in.
#if __has_include("OnDemandModuleBuild.h")
#include "OnDemandModuleBuild.h"
#endif
#ifndef QV_MODULE_BUILD
#define QV_MODULE_BUILD "unknown"
#endif

namespace platform {

OnDemandLibrary::OnDemandLibrary(const char *fileName, const char *environmentVariable, QString buildPath)
    : m_fileName(fileName), m_environmentVariable(environmentVariable), m_buildPath(std::move(buildPath)) {}

QString OnDemandLibrary::programBuild() {
    return QStringLiteral(QV_MODULE_BUILD);
}

OnDemandLibrary::Search OnDemandLibrary::searchPaths(const QString &fileName, const QString &overridden,
                                                     const QString &executable, const QString &buildPath) {
    Search search;
    if (!overridden.isEmpty()) {
        // A relative path would be looked up from whatever folder the program was started in.
        if (QDir::isAbsolutePath(overridden))
            search.paths << overridden;
        else
            search.refusal = QStringLiteral("the override %1 is not an absolute path").arg(overridden);
        return search;
    }
    const QString installed = BundleLayout::moduleFolder(executable);
    if (!installed.isEmpty())
        search.paths << QDir(installed).filePath(fileName);
    else if (!executable.isEmpty())
        search.paths << QDir(QFileInfo(executable).absolutePath()).filePath(fileName);
    if (!buildPath.isEmpty() && BundleLayout::runsFromBuildTree(executable) &&
        !search.paths.contains(buildPath))
        search.paths << buildPath;
    return search;
}

// The module at path, or the reason it is not taken. A refused module stays loaded: what its
// constructors registered may still be reached.
QString OnDemandLibrary::load(const QString &path) {
    if (!QFileInfo::exists(path))
        return QStringLiteral("%1: missing").arg(path);
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return QString::fromLocal8Bit(dlerror());
    const auto *build = static_cast<const char *>(dlsym(handle, kBuildSymbol));
    if (!build)
        return QStringLiteral("%1 carries no build version; this program is %2").arg(path, programBuild());
    const QString moduleBuild = QString::fromUtf8(build);
    if (moduleBuild != programBuild())
        return QStringLiteral("%1 is from another build: %2; this program is %3")
            .arg(path, moduleBuild, programBuild());
    m_handle = handle;
    return {};
}

void *OnDemandLibrary::symbol(const char *name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_attempted) {
        m_attempted = true;
        const QString fileName = QString::fromLatin1(m_fileName);
        const Search search = searchPaths(fileName, qEnvironmentVariable(m_environmentVariable),
                                          BundleLayout::executablePath(), m_buildPath);
        QStringList reasons;
        if (!search.refusal.isEmpty())
            reasons << QStringLiteral("%1: %2").arg(QString::fromLatin1(m_environmentVariable),
                                                    search.refusal);
        for (const QString &path : search.paths) {
            const QString reason = load(path);
            if (m_handle)
                break;
            reasons << reason;
        }
        if (reasons.isEmpty())
            reasons << QStringLiteral("no folder to look in");
        if (!m_handle)
            m_error = QStringLiteral("%1 could not be loaded (%2)")
                          .arg(fileName, reasons.join(QStringLiteral("; ")));
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
