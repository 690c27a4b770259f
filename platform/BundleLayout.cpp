#include "platform/BundleLayout.h"

#include <QDir>
#include <QFileInfo>

#ifndef QV_INSTALL_BINDIR
#define QV_INSTALL_BINDIR "bin"
#endif
#ifndef QV_INSTALL_LIBEXECDIR
#define QV_INSTALL_LIBEXECDIR "libexec/quorvalde-translator"
#endif
#ifndef QV_INSTALL_PRIVATE_LIBDIR
#define QV_INSTALL_PRIVATE_LIBDIR "lib/quorvalde-translator"
#endif
#ifndef QV_INSTALL_DATADIR
#define QV_INSTALL_DATADIR "share/quorvalde-translator"
#endif
#ifndef QV_BUILD_TREE
#define QV_BUILD_TREE ""
#endif

namespace platform {

QString BundleLayout::executablePath() {
    // The kernel names the file already resolved; one replaced by an upgrade while running
    // is still named, with a mark after it.
    QString path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QLatin1String deleted(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

QString BundleLayout::prefix(const QString &executable) {
    if (executable.isEmpty())
        return {};
    const QString folder = QDir::cleanPath(QFileInfo(executable).absolutePath());
    for (const char *relative : {QV_INSTALL_BINDIR, QV_INSTALL_LIBEXECDIR}) {
        const QString tail = QLatin1Char('/') + QLatin1String(relative);
        if (folder.endsWith(tail)) {
            const QString root = folder.chopped(tail.size());
            return root.isEmpty() ? QStringLiteral("/") : root;
        }
    }
    return {};
}

QString BundleLayout::moduleFolder(const QString &executable) {
    const QString root = prefix(executable);
    return root.isEmpty() ? QString() : QDir(root).filePath(QStringLiteral(QV_INSTALL_PRIVATE_LIBDIR));
}

QString BundleLayout::resourceFolder(const QString &executable) {
    const QString root = prefix(executable);
    return root.isEmpty() ? QString() : QDir(root).filePath(QStringLiteral(QV_INSTALL_DATADIR));
}

QString BundleLayout::buildTree() {
    return QStringLiteral(QV_BUILD_TREE);
}

bool BundleLayout::runsFromBuildTree(const QString &executable) {
    const QString tree = QFileInfo(buildTree()).canonicalFilePath();
    if (tree.isEmpty() || executable.isEmpty())
        return false;
    const QString program = QFileInfo(executable).canonicalFilePath();
    return program.startsWith(tree + QLatin1Char('/'));
}

} // namespace platform
