#pragma once

#include "core/models/QVLanguagePackageRealm.h"

#include "platform/Error.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The installations of whole languages the offline tab started: each runs the
// language's packages one after another through the package download manager
// and reports by language code, never to a cell, so a row that is rebuilt or
// scrolled away cannot take another's progress. Installations outlive the tab;
// every open tab hears about every language.
//
//   QVMOfflineDownloads::observe(tab, [tab](const QString &code) { tab->showDownloadState(code); },
//                                [tab](const QString &code, const platform::Error &e) { ... });
//   QVMOfflineDownloads::start("de", packages);            // the ones not installed yet
//   if (auto state = QVMOfflineDownloads::state("de")) cell->setIndicatorStatus(state->status);
//
// Main thread only.
class QVMOfflineDownloads {
public:
    struct State {
        uint status = 1; // QVMActionDownloadTableCellView's Downloading or Unpacking
        double progress = 0;
    };
    using Changed = std::function<void(const QString &code)>;
    using Failed = std::function<void(const QString &code, const platform::Error &error)>;

    // Hears about every language until the owner is destroyed.
    static void observe(QObject *owner, Changed changed, Failed failed);

    // The installation running for the code, if any.
    static std::optional<State> state(const QString &code);
    // Installs the packages one after another; false when one already runs or none is given.
    static bool start(const QString &code, const QList<QVLanguagePackageRealm> &packages);
    // Follows a package download started before this program's installations knew
    // of it (an earlier tab); false when none of the packages is downloading.
    static bool attach(const QString &code, const QList<QVLanguagePackageRealm> &packages);
    // The address of the package being fetched for the code; empty when none.
    static QString currentUrl(const QString &code);
};
