#include "QVMLanguagesListModel.h"

QVMLanguagesListModel::QVMLanguagesListModel(QObject *parent) : QAbstractListModel(parent) {}

void QVMLanguagesListModel::setDataSource(const FVCompositeArray &dataSource, const QString &currentLocale) {
    beginResetModel();
    m_dataSource = dataSource;
    m_currentLocale = currentLocale;
    endResetModel();
}

void QVMLanguagesListModel::setCurrentLocale(const QString &locale) {
    if (locale == m_currentLocale)
        return;
    m_currentLocale = locale;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {CurrentRole});
}

int QVMLanguagesListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_dataSource.countOfItems();
}

QVariant QVMLanguagesListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    if (m_dataSource.isHeaderAtIndex(row)) {
        const OTHeader header = m_dataSource.headerAtIndex(row);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return header.isShow() ? header.headerTitle() : QString();
        case HeaderRole:
            return true;
        case HeaderShownRole:
            return header.isShow();
        default:
            return {};
        }
    }
    const QVLanguageRealm language = m_dataSource.languageAtIndex(row);
    const bool current = !m_currentLocale.isEmpty() && language.localeIdentifier() == m_currentLocale;
    switch (role) {
    case Qt::DisplayRole:
        return language.languageName();
    case Qt::AccessibleTextRole:
        return current ? tr("%1, current language").arg(language.languageName()) : language.languageName();
    case HeaderRole:
        return false;
    case LocaleRole:
        return language.localeIdentifier();
    case ImageFileRole:
        return language.imageFile();
    case CurrentRole:
        return current;
    default:
        return {};
    }
}

Qt::ItemFlags QVMLanguagesListModel::flags(const QModelIndex &index) const {
    if (!index.isValid() || m_dataSource.isHeaderAtIndex(index.row()))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

int QVMLanguagesListModel::languageRowFrom(int row, int step) const {
    for (int r = row; r >= 0 && r < rowCount(); r += step) {
        if (!m_dataSource.isHeaderAtIndex(r))
            return r;
    }
    return -1;
}
