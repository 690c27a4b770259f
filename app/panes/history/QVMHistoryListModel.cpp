#include "QVMHistoryListModel.h"

#include "core/DevLogger.h"
#include "services/languages/QVLanguageService.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/store/Store.h"

QVMHistoryListModel::QVMHistoryListModel(QObject *parent) : QAbstractListModel(parent) {}

void QVMHistoryListModel::setHistoryMode(bool history) {
    m_historyMode = history;
    updateData();
}

void QVMHistoryListModel::updateData() {
    beginResetModel();
    m_token.invalidate();
    m_cachedRow = -1;
    m_results = {};
    m_count = 0;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull()) {
        DevLogger::logError(
            platform::Error(QStringLiteral("QVMHistoryListModel"), 1, QStringLiteral("no store")),
            QString::fromLatin1(kObservationError));
    } else {
        platform::Results results =
            store.objects(QVTranslationRealm::storeClassName()).sorted(QStringLiteral("createdDate"), false);
        if (!m_historyMode)
            results = results.filter(platform::Key(QStringLiteral("isFavorite")) == true);
        m_results = results;
        m_count = m_results.count();
        m_token = m_results.observe([this](const platform::CollectionChange &change) { apply(change); });
    }
    endResetModel();
}

void QVMHistoryListModel::apply(const platform::CollectionChange &change) {
    if (change.isInitial() || change.isEmpty())
        return;
    m_cachedRow = -1;
    const int newCount = m_results.count();
    if (m_count == 0 || newCount == 0) {
        // The placeholder row comes or goes.
        beginResetModel();
        m_count = newCount;
        endResetModel();
    } else {
        for (auto it = change.deletions.crbegin(); it != change.deletions.crend(); ++it) {
            if (*it < 0 || *it >= m_count)
                continue;
            beginRemoveRows({}, *it, *it);
            --m_count;
            endRemoveRows();
        }
        for (const int row : change.insertions) {
            const int at = qBound(0, row, m_count);
            beginInsertRows({}, at, at);
            ++m_count;
            endInsertRows();
        }
        if (m_count != newCount) {
            // A change set that does not add up: start over rather than show wrong rows.
            beginResetModel();
            m_count = newCount;
            endResetModel();
        }
        for (const int row : change.modifications) {
            if (row >= 0 && row < m_count)
                emit dataChanged(index(row), index(row));
        }
    }
    if (!change.insertions.isEmpty()) {
        const QVTranslationRealm newest = recordAt(change.insertions.first());
        if (!newest.isNull())
            setHighlightedIdentifier(newest.idTranslation());
        emit recordsInserted();
    }
}

QVTranslationRealm QVMHistoryListModel::recordAt(int row) const {
    if (row < 0 || row >= m_count)
        return {};
    if (row != m_cachedRow) {
        m_cachedRecord = QVTranslationRealm(m_results.at(row));
        m_cachedRow = row;
    }
    return m_cachedRecord;
}

int QVMHistoryListModel::rowOfIdentifier(qint64 identifier) const {
    if (m_count == 0)
        return -1;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    const platform::Object record =
        store.objectForPrimaryKey(QVTranslationRealm::storeClassName(), identifier);
    return record.isNull() ? -1 : m_results.indexOf(record);
}

void QVMHistoryListModel::setHighlightedIdentifier(std::optional<qint64> identifier) {
    const int before = highlightedRow();
    m_highlighted = identifier;
    const int after = highlightedRow();
    for (const int row : {before, after}) {
        if (row >= 0)
            emit dataChanged(index(row), index(row), {HighlightedRole});
    }
}

int QVMHistoryListModel::highlightedRow() const {
    return m_highlighted ? rowOfIdentifier(*m_highlighted) : -1;
}

void QVMHistoryListModel::setPendingDeletes(const QSet<qint64> &identifiers) {
    if (identifiers == m_pendingDeletes)
        return;
    m_pendingDeletes = identifiers;
    if (m_count > 0)
        emit dataChanged(index(0), index(m_count - 1), {UnsynchronisedRole});
}

int QVMHistoryListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : qMax(1, m_count);
}

QVariant QVMHistoryListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    if (m_count == 0) {
        if (index.row() != 0)
            return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return QVLocalizedString(
                QString::fromLatin1(m_historyMode ? kEmptyHistoryKey : kEmptyBookmarksKey));
        if (role == PlaceholderRole)
            return true;
        return {};
    }
    const QVTranslationRealm record = recordAt(index.row());
    if (record.isNull() || !record.isValid())
        return {};
    const auto languageName = [](const QVLanguageRealm &language) {
        return language.isNull() || language.languageName().isEmpty()
                   ? QString()
                   : QVLanguageService::languageTitleWithoutCountryWithLanguage(language).trimmed();
    };
    const qint64 identifier = record.idTranslation().value_or(0);
    switch (role) {
    case Qt::DisplayRole:
    case OriginalTextRole:
        return record.originalText();
    case Qt::AccessibleTextRole:
        return tr("%1, translated: %2").arg(record.originalText(), record.translatedText());
    case TranslatedTextRole:
        return record.translatedText();
    case FromNameRole:
        return languageName(record.languageFrom());
    case ToNameRole:
        return languageName(record.languageTo());
    case FromImageRole:
        return record.languageFrom().isNull() ? QString() : record.languageFrom().imageFile();
    case ToImageRole:
        return record.languageTo().isNull() ? QString() : record.languageTo().imageFile();
    case FavouriteRole:
        return record.isFavorite().value_or(false);
    case IdentifierRole:
        return identifier;
    case UnsynchronisedRole:
        return (record.isFavorite().value_or(false) && !record.isSynch().value_or(true)) ||
               m_pendingDeletes.contains(identifier);
    case PlaceholderRole:
        return false;
    case HighlightedRole:
        return m_highlighted && *m_highlighted == identifier;
    default:
        return {};
    }
}

Qt::ItemFlags QVMHistoryListModel::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (m_count == 0)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
