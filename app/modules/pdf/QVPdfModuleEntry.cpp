// The PDF module's entry points (see services/documents/QVPdfModule.h): the only code that
// links QtPdf and QtPrintSupport.
#include "services/documents/QVPdfModule.h"

#include <QDialog>
#include <QPdfDocument>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

namespace {

class PdfDocument : public QVPdfDocument {
public:
    int pageCount() const override { return m_document.pageCount(); }
    QSizeF pagePointSize(int page) const override { return m_document.pagePointSize(page); }
    QImage render(int page, const QSize &size) override { return m_document.render(page, size); }
    QString pageText(int page) const override {
        return const_cast<QPdfDocument &>(m_document).getAllText(page).text();
    }

    QPdfDocument m_document;
};

} // namespace

extern "C" Q_DECL_EXPORT QVPdfDocument *qvPdfModuleOpen(const QString &path, QString *error) {
    auto document = std::make_unique<PdfDocument>();
    if (document->m_document.load(path) != QPdfDocument::Error::None) {
        if (error)
            *error = QStringLiteral("The PDF could not be read");
        return nullptr;
    }
    return document.release();
}

extern "C" Q_DECL_EXPORT bool qvPdfModulePrint(QTextDocument &document, QWidget *parent,
                                               const QVPdfModule::PrintDialogRunner &runner) {
    QPrinter printer(QPrinter::HighResolution);
    bool accepted = false;
    if (runner) {
        accepted = runner(printer);
    } else {
        QPrintDialog dialog(&printer, parent);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (accepted)
        document.print(&printer);
    return accepted;
}
