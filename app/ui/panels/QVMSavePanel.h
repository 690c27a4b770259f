#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>

#include <QFileDialog>

// The save panel for a translation, with a format chooser: 0 rtf, 1 pdf,
// 2 docx, 3 odt, 4 html. The title is also the proposed file name (made a plain
// name in the Documents folder), and the name's extension always follows the
// chosen format. The replace question is the panel's own, asked for the name
// that will be written, after the extension has been put right.
//
//   auto *panel = new QVMSavePanel(this);
//   panel->beginWithTitle("German", [](int response, int format, const QUrl &url) {
//       if (response == QVMSavePanel::kResponseOK) save(format, url);   // url ends in the format's extension
//   });   // the panel deletes itself after the handler ran
class QVMSavePanel : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(int response, int formatIndex, const QUrl &url)>;
    static constexpr int kResponseOK = 1;
    static constexpr int kResponseCancel = 0;

    explicit QVMSavePanel(QObject *parent = nullptr);
    ~QVMSavePanel() override;

    static QVMSavePanel *savePanel(QObject *parent = nullptr) { return new QVMSavePanel(parent); }
    // Qt's own dialog instead of the desktop's, for every panel made later.
    static void setUseQtDialog(bool useQtDialog);

    void beginWithTitle(const QString &title, Completion completion);
    // The format chooser's index.
    int panelFileType() const { return m_format; }
    void onFormat(int index);
    // The one type allowed for a format index; none outside 0 to 4.
    static QStringList fileTypesWithFileExtension(int index);
    QStringList allowedFileTypes() const { return fileTypesWithFileExtension(m_format); }
    // The path with its extension replaced by (or followed by) the format's.
    static QString pathWithFormat(const QString &path, int index);
    // A plain file name (no extension) from a title that may hold separators,
    // leading dots or a home marker; "Translation" when nothing is left.
    static QString proposedFileName(const QString &title);
    // True when nothing is at the path, or the user agreed to replace the file there.
    static bool confirmReplace(const QString &path);

    QString title() const { return m_title; }
    QFileDialog *fileDialog() const { return m_dialog; }

private:
    void finished(int result);
    void reopenWithName(const QString &path);

    QPointer<QFileDialog> m_dialog;
    QString m_title;
    int m_format = 0;
    QStringList m_filters;
    Completion m_completion;
};
