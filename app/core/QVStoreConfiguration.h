#pragma once

#include "platform/Error.h"
#include "platform/store/Store.h"

#include <functional>

// The default object store every part of the application shares: one place
// that names its classes and schema version, so start-up and the command-line
// tools open the same file the same way.
//
//   platform::Error error = QVStoreConfiguration::configureDefaultStore(migrateOldStore);
//   platform::ObjectStore store = platform::ObjectStore::defaultStore();
namespace QVStoreConfiguration {

inline constexpr quint64 kSchemaVersion = 112;

using MigrationBlock = std::function<void(platform::Migration &migration, quint64 oldSchemaVersion)>;

// Every model class (QVModelRegistry) at kSchemaVersion, in the default file
// location; the migration runs when an older file is opened.
platform::StoreConfiguration defaultConfiguration(const MigrationBlock &migration = {});

// Declares the JSON mappings, makes defaultConfiguration() the default store's
// configuration and opens it. The first failure is returned.
platform::Error configureDefaultStore(const MigrationBlock &migration = {});

} // namespace QVStoreConfiguration
