#include "Bundle.h"

#include "platform/BundleLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>

#ifndef QV_SOURCE_RESOURCES_DIR
#define QV_SOURCE_RESOURCES_DIR ""
#endif
#ifndef QV_BUNDLE_VERSION
#define QV_BUNDLE_VERSION "1.0.0"
#endif

namespace platform {
namespace {

QMutex g_mutex;
QString g_resourcePath;
QString g_identifier;

QString defaultResourcePath() {
    const QString env = qEnvironmentVariable("QV_RESOURCES_DIR");
    if (!env.isEmpty())
        return env;
    const QString executable = BundleLayout::executablePath();
    const QString installed = BundleLayout::resourceFolder(executable);
    if (!installed.isEmpty() && QFileInfo(installed).isDir())
        return installed;
    // The source tree's resources serve only a program run from its build tree: an installed
    // copy never reads the folder it was built from.
    if (BundleLayout::runsFromBuildTree(executable))
        return QStringLiteral(QV_SOURCE_RESOURCES_DIR);
    return installed;
}

} // namespace

QString Bundle::bundleIdentifier() {
    QMutexLocker lock(&g_mutex);
    return g_identifier.isEmpty() ? QString::fromLatin1(kDefaultBundleIdentifier) : g_identifier;
}

QString Bundle::shortVersionString() {
    const QString fromApp = QCoreApplication::applicationVersion();
    if (!fromApp.isEmpty())
        return fromApp;
    const QStringList parts = QStringLiteral(QV_BUNDLE_VERSION).split(QLatin1Char('.'));
    return parts.mid(0, 2).join(QLatin1Char('.'));
}

QString Bundle::bundleVersion() { return QStringLiteral(QV_BUNDLE_VERSION); }

QString Bundle::resourcePath() {
    {
        QMutexLocker lock(&g_mutex);
        if (!g_resourcePath.isEmpty())
            return g_resourcePath;
    }
    return defaultResourcePath();
}

QString Bundle::pathForResource(const QString &name, const QString &type, const QString &subdirectory) {
    QDir dir(resourcePath());
    if (!subdirectory.isEmpty() && !dir.cd(subdirectory))
        return {};
    const QString file = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    const QString path = dir.filePath(file);
    return QFileInfo::exists(path) ? path : QString();
}

QStringList Bundle::preferredLocalizations() {
    QStringList result;
    const QDir dir(resourcePath());
    for (const QString &ui : QLocale::system().uiLanguages()) {
        QString code = ui;
        code.replace(QLatin1Char('_'), QLatin1Char('-'));
        const QString lang = code.section(QLatin1Char('-'), 0, 0);
        for (const QString &candidate : {code, lang}) {
            if (!result.contains(candidate) && QFileInfo(dir.filePath(candidate + QStringLiteral(".lproj"))).isDir())
                result << candidate;
        }
    }
    if (!result.contains(QStringLiteral("en")))
        result << QStringLiteral("en");
    return result;
}

void Bundle::setResourcePath(const QString &path) {
    QMutexLocker lock(&g_mutex);
    g_resourcePath = path;
}

void Bundle::setBundleIdentifier(const QString &identifier) {
    QMutexLocker lock(&g_mutex);
    g_identifier = identifier;
}

} // namespace platform
