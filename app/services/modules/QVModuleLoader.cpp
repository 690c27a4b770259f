#include "services/modules/QVModuleLoader.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QThreadPool>

#include <dlfcn.h>

namespace {

QThreadPool &pool() {
    // Kept for the whole run: statics go in no fixed order, and a load may still be running.
    static QThreadPool *loads = [] {
        auto *made = new QThreadPool;
        made->setObjectName(QStringLiteral("QVModuleLoader"));
        made->setMaxThreadCount(1);
        made->setExpiryTimeout(2000);
        return made;
    }();
    return *loads;
}

// The application waits for a running load before it goes: the answer is posted to it.
void waitAtQuit() {
    static QCoreApplication *registered = nullptr;
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || registered == application)
        return;
    registered = application;
    qAddPostRoutine(QVModuleLoader::waitForLoads);
}

} // namespace

namespace QVModuleLoader {

void load(platform::OnDemandLibrary &library, const char *symbol, QObject *context, Loaded loaded,
          Warm warm) {
    waitAtQuit();
    const QPointer<QObject> owner(context);
    const bool owned = context != nullptr;
    pool().start([&library, symbol, owner, owned, loaded = std::move(loaded), warm = std::move(warm)] {
        void *entry = library.symbol(symbol);
        const QString error = entry ? QString() : library.error();
        if (entry && warm)
            warm();
        platform::dispatchAsyncMain([owner, owned, loaded, entry, error] {
            if ((owned && !owner) || !loaded)
                return;
            loaded(entry, error);
        });
    });
}

void mapPlugins(const QStringList &folders) {
    static QMutex mutex;
    static QSet<QString> mapped;
    const QMutexLocker lock(&mutex);
    for (const QString &folder : folders) {
        if (mapped.contains(folder))
            continue;
        mapped.insert(folder);
        const QDir dir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1Char('/') + folder);
        for (const QString &name : dir.entryList({QStringLiteral("*.so")}, QDir::Files))
            dlopen(QFile::encodeName(dir.filePath(name)).constData(), RTLD_LAZY | RTLD_LOCAL);
    }
}

void waitForLoads() {
    pool().waitForDone();
}

} // namespace QVModuleLoader
