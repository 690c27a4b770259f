#include "ui/panels/QVMSavePanel.h"

#include "ui/foundation/QVMUtils.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/AppPaths.h"
#include "platform/Format.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
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

// Room for the longest format extension within the file system's 255 bytes.
constexpr qsizetype kMaxNameBytes = 240;

QString withoutLastCharacter(const QString &text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return text.left(previous > 0 ? previous : 0);
}

QString startFolder() {
    const QString documents = platform::AppPaths::documents();
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
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

QString QVMSavePanel::proposedFileName(const QString &title) {
    QString name = title;
    // Control and format characters (direction marks and overrides, zero-width marks, the
    // byte-order mark) are invisible or reorder text on screen: they hide what the name says.
    static const QRegularExpression hidden(QStringLiteral("[\\p{Cc}\\p{Cf}]"));
    name.remove(hidden);
    // "Chinese (Traditional/Hong Kong)" is one name, not a folder and a name.
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    name.replace(QLatin1Char('\\'), QLatin1Char('-'));
    // No hidden file, no "." or "..", and no "~" the dialog would read as a home folder.
    static const QRegularExpression leading(QStringLiteral("^[\\s.~-]+"));
    static const QRegularExpression trailing(QStringLiteral("[\\s.]+$"));
    name.remove(leading);
    name.remove(trailing);
    while (QFile::encodeName(name).size() > kMaxNameBytes)
        name = withoutLastCharacter(name);
    return name.isEmpty() ? QStringLiteral("Translation") : name;
}

bool QVMSavePanel::confirmReplace(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QVMAlertPresenter::Request question{
        platform::format(QVLocalizedString(QStringLiteral("_loc_alert_title_replace_file")), info.fileName()),
        platform::format(QVLocalizedString(QStringLiteral("_loc_alert_replace_file_message")),
                         QDir::toNativeSeparators(info.absolutePath())),
        {QVLocalizedString(QStringLiteral("_loc_button_replace")), QVLocalizedString(QStringLiteral("_loc_cancel"))}};
    // Return keeps the file; replacing it takes a deliberate choice.
    question.defaultButton = 1;
    return QVMUtils::runAlert(question) == QVMAlertPresenter::kFirstButtonReturn;
}

void QVMSavePanel::beginWithTitle(const QString &title, Completion completion) {
    m_title = title;
    m_completion = std::move(completion);
    QWidget *parentWidget = qobject_cast<QWidget *>(parent());
    m_dialog = new QFileDialog(parentWidget ? parentWidget->window() : nullptr);
    m_dialog->setAcceptMode(QFileDialog::AcceptSave);
    m_dialog->setFileMode(QFileDialog::AnyFile);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog, useQtDialog());
    // The name written may differ from the one typed (the extension follows the
    // format): the question is asked once the name is final, in finished().
    m_dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    m_dialog->setNameFilters(m_filters);
    m_dialog->setAccessibleName(tr("Save the translation"));
    if (!title.isEmpty())
        m_dialog->setWindowTitle(title);
    m_dialog->setDirectory(startFolder());
    connect(m_dialog, &QFileDialog::filterSelected, this,
            [this](const QString &filter) { onFormat(int(m_filters.indexOf(filter))); });
    connect(m_dialog, &QFileDialog::finished, this, &QVMSavePanel::finished);
    m_dialog->selectNameFilter(m_filters.value(m_format));
    onFormat(m_format);
    m_dialog->selectFile(pathWithFormat(proposedFileName(title), m_format));
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
    if (!url.isEmpty() && !QFileInfo(url.toLocalFile()).isDir() && !confirmReplace(url.toLocalFile())) {
        // As the desktop's own question does: back to the panel for another name.
        reopenWithName(url.toLocalFile());
        return;
    }
    const int response = result == QDialog::Accepted && !url.isEmpty() ? kResponseOK : kResponseCancel;
    Completion completion = std::move(m_completion);
    m_completion = {};
    if (completion)
        completion(response, m_format, url);
    deleteLater();
}

void QVMSavePanel::reopenWithName(const QString &path) {
    // Once the dialog has finished closing.
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            if (!m_dialog)
                return;
            m_dialog->selectFile(path);
            m_dialog->open();
        },
        Qt::QueuedConnection);
}
