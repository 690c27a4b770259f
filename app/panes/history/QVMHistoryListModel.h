#pragma once

#include "core/models/QVTranslationRealm.h"

#include "platform/store/Notifications.h"
#include "platform/store/Query.h"

#include <QAbstractListModel>
#include <QSet>

// The rows of the history side panel: every stored translation (history
// mode) or only the favourites (bookmarks mode), newest first. The rows
// follow the store's change sets one by one (insert, remove, change), never
// a full reload per change. An empty list has one placeholder row that
// cannot be selected.
class QVMHistoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        OriginalTextRole = Qt::UserRole + 1,
        TranslatedTextRole,
        FromNameRole, // up to the first "(", empty without a language
        ToNameRole,
        FromImageRole, // flag picture paths
        ToImageRole,
        FavouriteRole,      // bool
        IdentifierRole,     // qint64
        UnsynchronisedRole, // bool: a favourite change not yet at the account
        PlaceholderRole,    // bool: the empty list's row
        HighlightedRole,    // bool: the record painted as current
    };

    explicit QVMHistoryListModel(QObject *parent = nullptr);

    bool isHistoryMode() const { return m_historyMode; }
    // Rebuilds the list for the mode (a full reset, as on a tab switch).
    void setHistoryMode(bool history);
    void updateData();

    // 1: records shown; 0: the placeholder.
    int state() const { return m_count > 0 ? 1 : 0; }
    int recordCount() const { return m_count; }
    QVTranslationRealm recordAt(int row) const;
    int rowOfIdentifier(qint64 identifier) const;

    // The highlight follows a record, so rows above it may come and go.
    std::optional<qint64> highlightedIdentifier() const { return m_highlighted; }
    void setHighlightedIdentifier(std::optional<qint64> identifier);
    int highlightedRow() const;

    // Identifiers whose deletion at the account is still pending.
    void setPendingDeletes(const QSet<qint64> &identifiers);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static constexpr const char *kEmptyHistoryKey = "_loc_history_empty";
    static constexpr const char *kEmptyBookmarksKey = "_loc_history_bookmarks_empty";
    static constexpr const char *kObservationError = "Failed to open Realm on background worker";

signals:
    // A change set with an insertion arrived (the newest record is marked).
    void recordsInserted();

private:
    void apply(const platform::CollectionChange &change);

    bool m_historyMode = true;
    platform::Results m_results;
    platform::NotificationToken m_token;
    int m_count = 0;
    std::optional<qint64> m_highlighted;
    QSet<qint64> m_pendingDeletes;
    // The last record read: painting asks for several roles of one row in a row.
    mutable int m_cachedRow = -1;
    mutable QVTranslationRealm m_cachedRecord;
};
