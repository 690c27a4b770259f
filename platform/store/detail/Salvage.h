#pragma once

#include "platform/store/ObjectStore.h"

#include <QMap>
#include <QString>

namespace platform::detail {

struct StoreCore;

// The table of salvage reports not yet shown to the user.
extern const char *const kSalvageTable;

struct SalvageOutcome {
    qint64 kept = 0;
    qint64 lost = 0;
    QStringList unreadable;
    QStringList uncounted;                        // classes that may have lost more than `lost` counts
    QMap<QString, QPair<qint64, qint64>> classes; // class -> (kept, lost)
};

// Copies every row that can still be read from the damaged file, table by
// table, into a new file at `freshPath` (which must not exist), with the
// damaged file's own tables and indexes and its schema version; links and
// list entries to rows that were lost are dropped. The damaged file is only
// read. The report is kept in the new file for pendingSalvageReports().
// Throws StoreError when the new file cannot be written.
SalvageOutcome salvage(const StoreCore &core, const QString &damagedPath, const QString &freshPath,
                       const QString &movedTo);

// PRAGMA quick_check on a connection of its own: true when the file is sound.
bool fileIsSound(const QString &path, QString *verdict = nullptr);

} // namespace platform::detail
