#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

class QObject;
class QPrinter;
class QTextDocument;
class QWidget;

// Reading PDF files and printing live in the PDF module, loaded the first time one is
// read or something is printed: QtPdf and QtPrintSupport (with the print system's
// libraries) cost the start nothing.
//
//   std::unique_ptr<QVPdfDocument> pdf = QVPdfModule::open(path);   // null: QVPdfModule::lastError()
//   if (pdf && pdf->pageCount() > 0) image = pdf->render(0, size);
//   QVPdfModule::print(document, window, {});                       // the print dialog, then the printer
//   QVPdfModule::load(window, [] { QVPdfModule::print(...); });     // a click: loaded off this thread
//
// The module is looked for at $QV_PDF_MODULE, beside the program, then where the build made it.

// One PDF file, read.
class QVPdfDocument {
public:
    virtual ~QVPdfDocument() = default;
    virtual int pageCount() const = 0;
    virtual QSizeF pagePointSize(int page) const = 0;
    // The page drawn at that size, transparent where the page has nothing.
    virtual QImage render(int page, const QSize &size) = 0;
    virtual QString pageText(int page) const = 0;
};

namespace QVPdfModule {

// Runs the print dialog on the printer; true when the user chose to print.
using PrintDialogRunner = std::function<bool(QPrinter &printer)>;

// The file read, or null when it is no readable PDF or the module cannot be loaded (lastError()).
std::unique_ptr<QVPdfDocument> open(const QString &path);
// Asks with the dialog (or `runner`) and prints the document. False when the user declined or
// the module cannot be loaded.
bool print(QTextDocument &document, QWidget *parent, const PrintDialogRunner &runner);
// Loads the module, and the print system's libraries its printing uses, on a worker thread, then
// calls `loaded` on the main thread (unless `context` is gone by then); lastError() says why when
// the module could not be loaded. After it, open() and print() wait for no library.
void load(QObject *context, std::function<void()> loaded);
QString lastError();
bool isLoaded();

} // namespace QVPdfModule
