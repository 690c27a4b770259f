#pragma once

#include <QByteArray>

class QTextDocument;

// RTF from a text document, since Qt writes none: paragraphs, bold, italic,
// underline, font family and size, and text colour. Characters outside ASCII
// are written as \uN? (UTF-16 units), and \ { } are escaped, so any text
// survives. Readable by word processors and by any thread that owns the document.
//
//   QByteArray rtf = QVMRtfWriter::rtfFromDocument(*textEdit->document());
class QVMRtfWriter {
public:
    static QByteArray rtfFromDocument(const QTextDocument &document);
    // The text escaped for RTF, no formatting.
    static QByteArray escapedText(const QString &text);

    QVMRtfWriter() = delete;
};
