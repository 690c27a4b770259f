#include "core/models/QVPackagesRealm.h"

#include "core/models/QVPackageFolders.h"

using platform::PropertyType;

platform::ObjectSchema QVPackagesRealm::schema() {
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::String)
        .property(QStringLiteral("localName"), PropertyType::String)
        .property(QStringLiteral("imageUrl"), PropertyType::String)
        .list(QStringLiteral("packages"), QVLanguagePackageRealm::storeClassName())
        .indexed(QStringLiteral("localName"));
}

float QVPackagesRealm::packageSize() const {
    float sum = 0;
    for (const platform::Object &package : packages().toList())
        sum += QVLanguagePackageRealm(package).packageSize();
    return sum;
}

QString QVPackagesRealm::formatPackageSize() const {
    return QVPackageFolders::formatMegabytes(packageSize());
}

QList<uint> QVPackagesRealm::formatTypes() const {
    QList<uint> types;
    for (const platform::Object &package : packages().toList())
        types.append(QVLanguagePackageRealm(package).formatType());
    return types;
}

platform::Results QVPackagesRealm::allSorted() {
    return allSorted(platform::ObjectStore::defaultStore());
}

platform::Results QVPackagesRealm::allSorted(const platform::ObjectStore &store) {
    if (store.isNull())
        return {};
    platform::Results results = store.objects(storeClassName());
    for (const SortDescriptor &descriptor : sortDescriptors())
        results = results.sorted(descriptor.key, descriptor.ascending);
    return results;
}

QList<QVPackagesRealm::SortDescriptor> QVPackagesRealm::sortDescriptors() {
    return {{QStringLiteral("localName"), true}};
}
