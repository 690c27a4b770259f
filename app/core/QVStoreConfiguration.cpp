#include "core/QVStoreConfiguration.h"

#include "core/models/QVModelRegistry.h"

namespace QVStoreConfiguration {

platform::StoreConfiguration defaultConfiguration(const MigrationBlock &migration) {
    platform::StoreConfiguration configuration;
    configuration.schemaVersion = kSchemaVersion;
    configuration.classes = QVModelRegistry::allSchemas();
    configuration.migration = migration;
    return configuration;
}

platform::Error configureDefaultStore(const MigrationBlock &migration) {
    if (const platform::Error declared = QVModelRegistry::declareMappings())
        return declared;
    platform::ObjectStore::setDefaultConfiguration(defaultConfiguration(migration));
    platform::Error opened;
    if (platform::ObjectStore::defaultStore(&opened).isNull())
        return opened.isNull() ? platform::Error(QString::fromLatin1(platform::ObjectStore::kErrorDomain),
                                                 platform::ObjectStore::OpenFailed,
                                                 QStringLiteral("The database could not be opened"))
                               : opened;
    return {};
}

} // namespace QVStoreConfiguration
