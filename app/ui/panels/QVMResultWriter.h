#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QPrinter;
class QTextDocument;
class QWidget;

// Writes a translation to a file as RTF, PDF or bytes already made, and prints it. A file is
// replaced only once its new content is complete (a failed write leaves the old one whole);
// a failure names the file and says why. Main thread (PDF and printing draw the document),
// but for writePdfInBackground.
//
//   if (const platform::Error error = QVMResultWriter::writePdf(*view->document(), path))
//       showError(error.localizedDescription());
//   QVMResultWriter::print(*view->document(), window);   // black text, whatever the scheme
class QVMResultWriter {
public:
    static platform::Error writeRtf(const QTextDocument &document, const QString &path);
    static platform::Error writePdf(const QTextDocument &document, const QString &path);
    // The same on a thread of Qt's pool, from a copy of the document taken now: laying out and
    // embedding fonts holds a thread for a tenth of a second the first time, longer for a long
    // text. `done` runs on the main thread, unless `context` has gone by then.
    static void writePdfInBackground(const QTextDocument &document, const QString &path, QObject *context,
                                     std::function<void(const platform::Error &)> done);
    static platform::Error writeData(const QByteArray &data, const QString &path);
    // A "cannot be written" error for the file, with the reason.
    static platform::Error fileError(const QString &path, const QString &reason);

    // A copy of the document in black text on no background, for paper.
    static std::unique_ptr<QTextDocument> printableCopy(const QTextDocument &document);
    static void print(const QTextDocument &document, QWidget *parent);
    // Runs the print dialog on the printer; tests put their own in (null restores it).
    using PrintDialogRunner = std::function<bool(QPrinter &printer)>;
    static void setPrintDialogRunner(PrintDialogRunner runner);

    QVMResultWriter() = delete;
};
