#pragma once

#include "platform/OnDemandLibrary.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Loads one of the program's modules on a worker thread and hands an entry point of it to the
// interface thread, so that a click never waits for the dynamic loader (the libraries behind a
// module take tens of milliseconds to map, more on a busy machine).
//
//   QVModuleLoader::load(library(), "qvPdfModulePrint", this, [](void *entry, const QString &error) {
//       if (!entry) return fail(error);
//       reinterpret_cast<PrintFunction>(entry)(...);
//   }, [] { QVModuleLoader::mapPlugins({QStringLiteral("printsupport")}); });
//
// `loaded` runs once, on the main thread, on a later turn of its event loop (also for a module
// already loaded), unless `context` is gone by then: an owner that goes away cancels its call.
// `warm`, when the module loaded, runs on the same worker thread before the answer: what the
// module's first use would otherwise load on the interface thread (Qt's plugins for printing,
// the TLS library), where that is safe off it. Loads run one after another on one thread; the
// application waits for a running one as it quits.
namespace QVModuleLoader {

using Loaded = std::function<void(void *entry, const QString &error)>;
using Warm = std::function<void()>;

void load(platform::OnDemandLibrary &library, const char *symbol, QObject *context, Loaded loaded,
          Warm warm = {});

// Maps every library of these Qt plugin folders ("printsupport"), once a run: Qt opens the same
// files next, and finds them mapped. For a `warm` step.
void mapPlugins(const QStringList &folders);

// Blocks until every load asked for so far has run (quitting, tests).
void waitForLoads();

} // namespace QVModuleLoader
