#pragma once

#include "core/QVStoreConfiguration.h"

#include <QHash>
#include <QString>

#include <optional>

// How a default store written by an older version becomes the current one.
// Start-up and the demo-package installer both open the store with it, so
// whichever opens an old file first converts it the same way.
//
//   QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock());
//
// Version 45 and older: languages were keyed by a number; each becomes the
// locale of the "MigrationLanguages" table, or goes when the table lacks it.
// Version 100 and older: every stored translation goes (their format changed).
// Newer versions are left as they are.
namespace QVStoreMigration {

inline constexpr quint64 kLastNumericLanguageVersion = 45;
inline constexpr quint64 kLastOldTranslationVersion = 100;
inline constexpr const char *kMigrationResource = "MigrationLanguages";
inline constexpr const char *kMigrationResourceType = "js";
inline constexpr const char *kOldLanguageKey = "idLanguage";

// Old numeric language id (decimal text) -> locale identifier, or nothing when
// the resource is missing, unreadable or not a JSON object of strings.
std::optional<QHash<QString, QString>> migrationLanguageDictionary();

QVStoreConfiguration::MigrationBlock migrationBlock();

} // namespace QVStoreMigration
