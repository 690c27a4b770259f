#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>

#include <QFileDialog>

// The open panel for a document or picture to translate: one file, with a
// type chooser listing the accepted extensions, headed by the localised
// "_loc_all_files" entry when includeAll is set. Choosing an entry narrows the
// panel to that type.
//
//   auto *panel = new QVMOpenPanel(this);
//   panel->beginWithFileTypes({"jpg", "jpeg", "png"}, true, [](int response, const QUrl &url) {
//       if (response == QVMOpenPanel::kResponseOK) open(url);
//   });   // the panel deletes itself after the completion ran
//
// The panel starts in the folder of the last file chosen in this run, else in
// the Documents folder (the home folder when there is none).
//
// Tests and desktops without a file chooser of their own use Qt's dialog
// (setUseQtDialog), which they can drive through fileDialog().
class QVMOpenPanel : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(int response, const QUrl &url)>;
    static constexpr int kResponseOK = 1;
    static constexpr int kResponseCancel = 0;

    explicit QVMOpenPanel(QObject *parent = nullptr);
    ~QVMOpenPanel() override;

    static QVMOpenPanel *openPanel(QObject *parent = nullptr) { return new QVMOpenPanel(parent); }
    // Qt's own dialog instead of the desktop's, for every panel made later.
    static void setUseQtDialog(bool useQtDialog);
    // Where the next panel starts; an empty folder forgets the last one chosen.
    static QString startFolder();
    static void setLastFolder(const QString &folder);

    void beginWithFileTypes(const QStringList &fileTypes, bool includeAll, Completion completion);
    // The chooser's entries, in order, and the types the panel accepts now.
    QStringList typeChooserEntries() const;
    QStringList allowedFileTypes() const { return m_allowed; }
    void onFormat(int index);

    bool includeAll() const { return m_includeAll; }
    QStringList fileTypes() const { return m_fileTypes; }
    QFileDialog *fileDialog() const { return m_dialog; }

private:
    QString filterFor(const QStringList &types, const QString &title) const;
    void finished(int result);

    QPointer<QFileDialog> m_dialog;
    bool m_includeAll = false;
    QStringList m_fileTypes;
    QStringList m_filters;
    QStringList m_allowed;
    Completion m_completion;
};
