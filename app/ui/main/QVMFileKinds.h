#pragma once

#include <QString>
#include <QStringList>

// What an opened or dropped file is to the main view: a document the backend translates, a
// picture for the photo window, a text the source panel takes (".txt", or any file whose type
// is a kind of plain text), or none of these. Extensions count in any case ("PDF" is "pdf").
//
//   switch (QVMFileKinds::kindOfFile(path)) {
//   case QVMFileKinds::Kind::Text: loadIntoSourcePanel(path); break;
//   ...
//   }
class QVMFileKinds {
public:
    enum class Kind { Unsupported, Document, Picture, Text };

    // Looks at the name first; only a name that says nothing has the file's first bytes read.
    static Kind kindOfFile(const QString &path);
    static const QStringList &documentExtensions();
    static const QStringList &pictureExtensions();
    // Type 0 documents and pictures, 1 documents, 2 pictures; any other type nothing.
    static QStringList fileTypesForOpenPanel(uint type);
    static QString lowerExtension(const QString &path);

    QVMFileKinds() = delete;
};
