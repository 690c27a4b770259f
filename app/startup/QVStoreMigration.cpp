#include "startup/QVStoreMigration.h"

#include "core/DevLog.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVTranslationRealm.h"

#include "platform/Bundle.h"
#include "platform/store/Store.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace QVStoreMigration {

std::optional<QHash<QString, QString>> migrationLanguageDictionary() {
    const QString path = platform::Bundle::pathForResource(QString::fromLatin1(kMigrationResource),
                                                           QString::fromLatin1(kMigrationResourceType));
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QHash<QString, QString> table;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        // A value that is not a locale would become a language no one can pick.
        if (!it.value().isString() || it.value().toString().isEmpty())
            return std::nullopt;
        table.insert(it.key(), it.value().toString());
    }
    return table;
}

namespace {

void migrateNumericLanguages(platform::Migration &migration) {
    const auto table = migrationLanguageDictionary();
    if (!table) {
        DevLog(QStringLiteral("[migration] no language table: languages keep their values"));
        return;
    }
    // Two old ids naming one locale would collide on the primary key and fail
    // the whole migration: the first keeps it, the later ones go.
    QSet<QString> assigned;
    migration.enumerateObjects(
        QVLanguageRealm::storeClassName(), [&](const QVariantMap &oldRow, platform::Object &object) {
            const QVariant oldId = oldRow.value(QString::fromLatin1(kOldLanguageKey));
            bool numeric = false;
            const qlonglong id = oldId.toLongLong(&numeric);
            const QString locale = numeric ? table->value(QString::number(id)) : QString();
            if (locale.isEmpty() || assigned.contains(locale)) {
                migration.transaction().remove(object);
                return;
            }
            assigned.insert(locale);
            object.set(migration.transaction(), QVLanguageRealm::primaryKey(), locale);
        });
}

} // namespace

QVStoreConfiguration::MigrationBlock migrationBlock() {
    return [](platform::Migration &migration, quint64 oldSchemaVersion) {
        if (oldSchemaVersion <= kLastNumericLanguageVersion)
            migrateNumericLanguages(migration);
        if (oldSchemaVersion <= kLastOldTranslationVersion)
            migration.transaction().removeAll(QVTranslationRealm::storeClassName());
    };
}

} // namespace QVStoreMigration
