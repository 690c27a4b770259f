#include "ui/panels/QVMResultWriter.h"

#include "services/documents/QVPdfModule.h"
#include "ui/panels/QVMRtfWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QPointer>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>

namespace {

QVMResultWriter::PrintDialogRunner &printDialogRunner() {
    static QVMResultWriter::PrintDialogRunner runner;
    return runner;
}

} // namespace

platform::Error QVMResultWriter::fileError(const QString &path, const QString &reason) {
    return platform::Error(QStringLiteral("NSCocoaErrorDomain"), 512,
                           QStringLiteral("%1 cannot be written: %2").arg(QFileInfo(path).fileName(), reason),
                           {{QStringLiteral("NSFilePath"), path}});
}

platform::Error QVMResultWriter::writeData(const QByteArray &data, const QString &path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileError(path, file.errorString());
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fileError(path, reason);
    }
    if (!file.commit())
        return fileError(path, file.errorString());
    return {};
}

platform::Error QVMResultWriter::writeRtf(const QTextDocument &document, const QString &path) {
    return writeData(QVMRtfWriter::rtfFromDocument(document), path);
}

platform::Error QVMResultWriter::writePdf(const QTextDocument &document, const QString &path) {
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QFileInfo(path).completeBaseName());
        // The whole document, paginated, from a copy: the panel keeps its own layout.
        std::unique_ptr<QTextDocument> copy(document.clone());
        copy->print(&writer);
    }
    return writeData(pdf, path);
}

void QVMResultWriter::writePdfInBackground(const QTextDocument &document, const QString &path,
                                           QObject *context,
                                           std::function<void(const platform::Error &)> done) {
    // The copy belongs to no thread until the pool's thread takes it (only such an object may be
    // pulled to another thread). The pool is waited for as the application ends.
    QTextDocument *copy = document.clone();
    copy->moveToThread(nullptr);
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start([copy, path, guard, done = std::move(done)] {
        copy->moveToThread(QThread::currentThread());
        const platform::Error error = writePdf(*copy, path);
        delete copy;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, error] {
                if (guard && done)
                    done(error);
            },
            Qt::QueuedConnection);
    });
}

std::unique_ptr<QTextDocument> QVMResultWriter::printableCopy(const QTextDocument &document) {
    std::unique_ptr<QTextDocument> copy(document.clone());
    QTextCursor cursor(copy.get());
    cursor.select(QTextCursor::Document);
    QTextCharFormat black;
    black.setForeground(QColor(Qt::black));
    black.setBackground(Qt::NoBrush);
    cursor.mergeCharFormat(black);
    return copy;
}

void QVMResultWriter::print(const QTextDocument &document, QWidget *parent) {
    // Printing loads with the PDF module, the first time it is asked for.
    QVPdfModule::print(*printableCopy(document), parent, printDialogRunner());
}

void QVMResultWriter::setPrintDialogRunner(PrintDialogRunner runner) {
    printDialogRunner() = std::move(runner);
}
