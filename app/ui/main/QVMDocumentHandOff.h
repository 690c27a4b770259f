#pragma once

#include "platform/Error.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

// Hands a translated document to the desktop's application for it. One the desktop will not
// open where it was saved is copied into the program's own runtime folder (0700, below
// $XDG_RUNTIME_DIR, never the shared temporary folder), the copy readable by its owner only
// (0600) and in a folder of its own, so it keeps its name; that copy is opened. Copies live
// until the program starts again: the first hand-off object of a run removes those of the
// runs before, off the interface thread. Main thread.
//
//   m_handOff = new QVMDocumentHandOff(this);
//   m_handOff->open(downloadedPath);
class QVMDocumentHandOff : public QObject {
    Q_OBJECT
public:
    explicit QVMDocumentHandOff(QObject *parent = nullptr);

    void open(const QString &path);

    // Hands a file to the desktop: false when nothing took it. Tests put their own in (null
    // restores the desktop's).
    using Opener = std::function<bool(const QUrl &url)>;
    static void setOpener(Opener opener);

    // Where the copies go: "documents" in the runtime folder.
    static QString copiesFolder();
    // Copies source into a new folder below folder, 0600; the copy's path, or empty with *error.
    static QString copyPrivately(const QString &source, const QString &folder, platform::Error *error);
    // Removes every copy made before (the program's start does it once).
    static void removeCopies();
};
