// The text of a PDF document, on its own: only what calls it links QtPdf, so the program,
// which reads PDFs through the PDF module, starts without it.
#include "ui/main/QVMGeneralViewController.h"

#include <QPdfDocument>

QString QVMGeneralViewController::attributedStringFromPdfDocument(QPdfDocument *document) {
    QString text;
    if (!document)
        return text;
    for (int page = 0; page < document->pageCount(); ++page) {
        if (page > 0)
            text += QLatin1Char('\n');
        text += document->getAllText(page).text();
    }
    return text;
}
