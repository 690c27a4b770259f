#include "QVMSavePanel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace {

bool &useQtDialog() {
    static bool value = false;
    return value;
}

const QStringList &formats() {
    static const QStringList list{QStringLiteral("rtf"), QStringLiteral("pdf"), QStringLiteral("docx"),
                                  QStringLiteral("odt"), QStringLiteral("html")};
    return list;
}

} // namespace

QVMSavePanel::QVMSavePanel(QObject *parent) : QObject(parent) {
    for (const QString &format : formats())
        m_filters << QStringLiteral("%1 (*.%2)").arg(format.toUpper(), format);
}

QVMSavePanel::~QVMSavePanel() {
    delete m_dialog;
}

void QVMSavePanel::setUseQtDialog(bool value) {
    useQtDialog() = value;
}

QStringList QVMSavePanel::fileTypesWithFileExtension(int index) {
    if (index < 0 || index >= formats().size())
        return {};
    return {formats().at(index)};
}

QString QVMSavePanel::pathWithFormat(const QString &path, int index) {
    const QStringList types = fileTypesWithFileExtension(index);
    if (types.isEmpty() || path.isEmpty())
        return path;
    const QFileInfo info(path);
    QString base = info.fileName();
    // A known format's extension is replaced; any other dot stays part of the name.
    if (formats().contains(info.suffix().toLower()))
        base.chop(info.suffix().size() + 1);
    const QString name = base + QLatin1Char('.') + types.first();
    return info.path() == QLatin1String(".") && !path.startsWith(QLatin1String("./"))
               ? name
               : info.path() + QLatin1Char('/') + name;
}

void QVMSavePanel::beginWithTitle(const QString &title, Completion completion) {
    m_title = title;
    m_completion = std::move(completion);
    QWidget *parentWidget = qobject_cast<QWidget *>(parent());
    m_dialog = new QFileDialog(parentWidget ? parentWidget->window() : nullptr);
    m_dialog->setAcceptMode(QFileDialog::AcceptSave);
    m_dialog->setFileMode(QFileDialog::AnyFile);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog, useQtDialog());
    m_dialog->setNameFilters(m_filters);
    m_dialog->setAccessibleName(tr("Save the translation"));
    if (!title.isEmpty())
        m_dialog->setWindowTitle(title);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!folder.isEmpty())
        m_dialog->setDirectory(folder);
    connect(m_dialog, &QFileDialog::filterSelected, this,
            [this](const QString &filter) { onFormat(int(m_filters.indexOf(filter))); });
    connect(m_dialog, &QFileDialog::finished, this, &QVMSavePanel::finished);
    m_dialog->selectNameFilter(m_filters.value(m_format));
    onFormat(m_format);
    m_dialog->selectFile(pathWithFormat(title.isEmpty() ? QStringLiteral("Translation") : title, m_format));
    m_dialog->open();
}

void QVMSavePanel::onFormat(int index) {
    m_format = index;
    const QStringList types = fileTypesWithFileExtension(index);
    if (!m_dialog || types.isEmpty())
        return;
    m_dialog->setDefaultSuffix(types.first());
    // The name in the field follows the format, so RTF never lands under ".pdf".
    if (m_dialog->testOption(QFileDialog::DontUseNativeDialog)) {
        const QStringList selected = m_dialog->selectedFiles();
        if (!selected.isEmpty() && !QFileInfo(selected.first()).isDir())
            m_dialog->selectFile(QFileInfo(pathWithFormat(selected.first(), index)).fileName());
    }
}

void QVMSavePanel::finished(int result) {
    QUrl url;
    if (m_dialog && m_filters.contains(m_dialog->selectedNameFilter()))
        m_format = int(m_filters.indexOf(m_dialog->selectedNameFilter()));
    if (result == QDialog::Accepted && m_dialog && !m_dialog->selectedFiles().isEmpty())
        url = QUrl::fromLocalFile(pathWithFormat(m_dialog->selectedFiles().constFirst(), m_format));
    const int response = result == QDialog::Accepted && !url.isEmpty() ? kResponseOK : kResponseCancel;
    Completion completion = std::move(m_completion);
    m_completion = {};
    if (completion)
        completion(response, m_format, url);
    deleteLater();
}
