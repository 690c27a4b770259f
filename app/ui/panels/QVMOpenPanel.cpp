#include "ui/panels/QVMOpenPanel.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

namespace {

bool &useQtDialog() {
    static bool value = false;
    return value;
}

QString &lastFolder() {
    static QString folder;
    return folder;
}

} // namespace

QVMOpenPanel::QVMOpenPanel(QObject *parent) : QObject(parent) {}

QVMOpenPanel::~QVMOpenPanel() {
    delete m_dialog;
}

void QVMOpenPanel::setUseQtDialog(bool value) {
    useQtDialog() = value;
}

QString QVMOpenPanel::startFolder() {
    // Never the working folder the program was started from.
    for (const QString &folder : {lastFolder(), platform::AppPaths::documents()})
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    return QDir::homePath();
}

void QVMOpenPanel::setLastFolder(const QString &folder) {
    lastFolder() = folder;
}

QString QVMOpenPanel::filterFor(const QStringList &types, const QString &title) const {
    QStringList patterns;
    for (const QString &type : types) {
        // Both cases: file systems here tell "PDF" from "pdf".
        patterns << QStringLiteral("*.") + type.toLower() << QStringLiteral("*.") + type.toUpper();
    }
    return QStringLiteral("%1 (%2)").arg(title, patterns.join(QLatin1Char(' ')));
}

void QVMOpenPanel::beginWithFileTypes(const QStringList &fileTypes, bool includeAll, Completion completion) {
    m_includeAll = includeAll;
    m_fileTypes = fileTypes;
    m_fileTypes.removeDuplicates();
    m_completion = std::move(completion);
    m_filters.clear();
    if (m_includeAll)
        m_filters << filterFor(m_fileTypes, QVLocalizedString(QStringLiteral("_loc_all_files")));
    for (const QString &type : std::as_const(m_fileTypes))
        m_filters << filterFor({type}, type);

    QWidget *parentWidget = qobject_cast<QWidget *>(parent());
    m_dialog = new QFileDialog(parentWidget ? parentWidget->window() : nullptr);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    m_dialog->setFileMode(QFileDialog::ExistingFile);
    m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog, useQtDialog());
    m_dialog->setNameFilters(m_filters);
    m_dialog->setAccessibleName(tr("Open a file to translate"));
    m_dialog->setDirectory(startFolder());
    connect(m_dialog, &QFileDialog::filterSelected, this,
            [this](const QString &filter) { onFormat(int(m_filters.indexOf(filter))); });
    connect(m_dialog, &QFileDialog::finished, this, &QVMOpenPanel::finished);
    if (!m_filters.isEmpty())
        m_dialog->selectNameFilter(m_filters.first());
    onFormat(0);
    m_dialog->open();
}

QStringList QVMOpenPanel::typeChooserEntries() const {
    QStringList entries;
    if (m_includeAll)
        entries << QVLocalizedString(QStringLiteral("_loc_all_files"));
    entries << m_fileTypes;
    return entries;
}

void QVMOpenPanel::onFormat(int index) {
    if (m_includeAll && index == 0) {
        m_allowed = m_fileTypes;
        return;
    }
    const int typeIndex = m_includeAll ? index - 1 : index;
    m_allowed = typeIndex >= 0 && typeIndex < m_fileTypes.size() ? QStringList{m_fileTypes.at(typeIndex)}
                                                                 : QStringList();
}

void QVMOpenPanel::finished(int result) {
    QUrl url;
    if (result == QDialog::Accepted && m_dialog && !m_dialog->selectedUrls().isEmpty())
        url = m_dialog->selectedUrls().constFirst();
    if (url.isLocalFile())
        setLastFolder(QFileInfo(url.toLocalFile()).absolutePath());
    const int response = result == QDialog::Accepted && !url.isEmpty() ? kResponseOK : kResponseCancel;
    Completion completion = std::move(m_completion);
    m_completion = {};
    if (completion)
        completion(response, url);
    deleteLater();
}
