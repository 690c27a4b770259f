#include "ui/main/QVMFileKinds.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

const QString &textExtension() {
    static const QString extension = QStringLiteral("txt");
    return extension;
}

} // namespace

QString QVMFileKinds::lowerExtension(const QString &path) {
    return QFileInfo(path).suffix().toLower();
}

QVMFileKinds::Kind QVMFileKinds::kindOfFile(const QString &path) {
    const QString extension = lowerExtension(path);
    // Text files translate like typed text: offline too, with no conversion service.
    if (extension == textExtension())
        return Kind::Text;
    if (documentExtensions().contains(extension))
        return Kind::Document;
    if (pictureExtensions().contains(extension))
        return Kind::Picture;
    if (QMimeDatabase().mimeTypeForFile(path).inherits(QStringLiteral("text/plain")))
        return Kind::Text;
    return Kind::Unsupported;
}

const QStringList &QVMFileKinds::documentExtensions() {
    static const QStringList list{QStringLiteral("pdf"), QStringLiteral("docx"), QStringLiteral("rtf"),
                                  QStringLiteral("doc"), textExtension(),        QStringLiteral("odp"),
                                  QStringLiteral("ods"), QStringLiteral("pps"),  QStringLiteral("xls")};
    return list;
}

const QStringList &QVMFileKinds::pictureExtensions() {
    static const QStringList list{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")};
    return list;
}

QStringList QVMFileKinds::fileTypesForOpenPanel(uint type) {
    switch (type) {
    case 0:
        return documentExtensions() + pictureExtensions();
    case 1:
        return documentExtensions();
    case 2:
        return pictureExtensions();
    default:
        return {};
    }
}
