#include "panes/offline/QVMOfflineLanguagesModel.h"

#include <QSize>

namespace {

QString folded(const QString &text) {
    QString out;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    return out.toCaseFolded();
}

} // namespace

QVMOfflineLanguagesModel::QVMOfflineLanguagesModel(QObject *parent) : QAbstractTableModel(parent) {}

void QVMOfflineLanguagesModel::setHeaders(const QStringList &titles) {
    m_headers = titles;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

bool QVMOfflineLanguagesModel::nameMatches(const QString &name, const QString &search) {
    return folded(name).contains(folded(search));
}

void QVMOfflineLanguagesModel::setRows(QList<Row> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    m_folded.clear();
    m_sizes.clear();
    filter();
    endResetModel();
}

void QVMOfflineLanguagesModel::setSearch(const QString &text) {
    const QString trimmed = text.trimmed();
    if (trimmed == m_search)
        return;
    beginResetModel();
    m_search = trimmed;
    filter();
    endResetModel();
}

const QString &QVMOfflineLanguagesModel::foldedNames(int row) const {
    if (m_folded.size() != m_rows.size()) {
        m_folded.clear();
        m_folded.resize(m_rows.size());
    }
    QString &names = m_folded[row];
    if (names.isNull()) {
        const Row &r = m_rows.at(row);
        // A line break cannot be typed into the field, so no search spans both names.
        names = folded(r.localName) + QLatin1Char('\n') + folded(r.name);
    }
    return names;
}

void QVMOfflineLanguagesModel::filter() {
    m_shown.clear();
    m_shown.reserve(m_rows.size());
    m_shownByCode.clear();
    const QString text = folded(m_search);
    for (int row = 0; row < m_rows.size(); ++row)
        if (text.isEmpty() || foldedNames(row).contains(text))
            m_shown.append(row);
}

QString QVMOfflineLanguagesModel::codeAt(int shown) const {
    return shown >= 0 && shown < m_shown.size() ? m_rows.at(m_shown.at(shown)).code : QString();
}

// Made at the first look-up after the rows shown change, so a keystroke in the search pays nothing.
int QVMOfflineLanguagesModel::rowForCode(const QString &code) const {
    if (m_shownByCode.isEmpty() && !m_shown.isEmpty()) {
        m_shownByCode.reserve(m_shown.size());
        // A code listed twice is found at its first row, as a scan from the top finds it.
        for (int shown = int(m_shown.size()) - 1; shown >= 0; --shown)
            m_shownByCode.insert(m_rows.at(m_shown.at(shown)).code, shown);
    }
    return m_shownByCode.value(code, -1);
}

QStringList QVMOfflineLanguagesModel::shownCodes() const {
    QStringList codes;
    codes.reserve(m_shown.size());
    for (const int row : m_shown)
        codes.append(m_rows.at(row).code);
    return codes;
}

void QVMOfflineLanguagesModel::forgetSize(int shown) {
    if (shown < 0 || shown >= m_shown.size())
        return;
    m_sizes.remove(m_shown.at(shown));
    emit dataChanged(index(shown, SizeColumn), index(shown, ColumnCount - 1));
}

int QVMOfflineLanguagesModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_shown.size());
}

int QVMOfflineLanguagesModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QVMOfflineLanguagesModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_shown.size())
        return {};
    if (role == Qt::SizeHintRole)
        return QSize(0, m_rowHeight);
    const int row = m_shown.at(index.row());
    const Row &r = m_rows.at(row);
    switch (index.column()) {
    case NameColumn:
        // The cell widget draws the name; the item names the row for assistive tools.
        return role == Qt::AccessibleTextRole ? QVariant(r.name) : QVariant();
    case SizeColumn:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
            auto it = m_sizes.find(row);
            if (it == m_sizes.end())
                it = m_sizes.insert(row, m_sizeText ? m_sizeText(r.code) : QString());
            return *it;
        }
        return role == Qt::TextAlignmentRole ? QVariant(Qt::AlignCenter) : QVariant();
    case ActionColumn:
        return role == Qt::AccessibleTextRole && m_actionText ? QVariant(m_actionText(r.code)) : QVariant();
    case OptionsColumn:
        return role == Qt::AccessibleTextRole && m_kindsText ? QVariant(m_kindsText(r.code)) : QVariant();
    default:
        return {};
    }
}

QVariant QVMOfflineLanguagesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return m_headers.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags QVMOfflineLanguagesModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
