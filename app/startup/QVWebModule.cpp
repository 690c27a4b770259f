#include "startup/QVWebModule.h"

#include "core/DevLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

using CreateFunction = QObject *(*)(const char *className, QObject *parent);

constexpr const char *kModuleName = "libqvweb.so";
constexpr const char *kEntryPoint = "qvWebModuleCreate";

struct Module {
    bool attempted = false;
    CreateFunction create = nullptr;
    QString error;
};

Module &module() {
    static Module loaded;
    return loaded;
}

QStringList candidates() {
    QStringList paths;
    const QString overridden = qEnvironmentVariable("QV_WEB_MODULE");
    if (!overridden.isEmpty())
        return {overridden};
    const QString beside = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (!beside.isEmpty())
        paths << QDir(beside).filePath(QString::fromLatin1(kModuleName));
#ifdef QV_WEB_MODULE_PATH
    paths << QStringLiteral(QV_WEB_MODULE_PATH);
#endif
    return paths;
}

// Never RTLD_DEEPBIND: the module must use the program's own copies of the
// interface (one factory, one set of services), which the program exports.
void load(Module &m) {
    m.attempted = true;
    QStringList reasons;
    for (const QString &path : candidates()) {
        if (!QFileInfo::exists(path)) {
            reasons << QStringLiteral("%1: missing").arg(path);
            continue;
        }
        void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            reasons << QString::fromLocal8Bit(dlerror());
            continue;
        }
        m.create = reinterpret_cast<CreateFunction>(dlsym(handle, kEntryPoint));
        if (m.create) {
            DevLog(QStringLiteral("[web] module loaded from %@"), path);
            return;
        }
        reasons << QStringLiteral("%1: no %2").arg(path, QString::fromLatin1(kEntryPoint));
        dlclose(handle);
    }
    m.error = QStringLiteral("The web page module could not be loaded (%1)")
                  .arg(reasons.join(QStringLiteral("; ")));
    DevLog(QStringLiteral("[web] %@"), m.error);
}

} // namespace

namespace QVWebModule {

QObject *create(const QString &className, QObject *parent) {
    Module &m = module();
    if (!m.attempted)
        load(m);
    if (!m.create)
        return nullptr;
    QObject *made = m.create(className.toLatin1().constData(), parent);
    if (!made)
        m.error = QStringLiteral("The web page module makes no %1").arg(className);
    return made;
}

QString lastError() {
    return module().error;
}

bool isLoaded() {
    return module().create != nullptr;
}

} // namespace QVWebModule
