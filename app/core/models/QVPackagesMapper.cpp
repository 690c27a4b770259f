#include "core/models/QVPackagesMapper.h"

#include "core/DevLog.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVLanguageRealm.h"

#include <QSet>

using platform::Key;

QList<QVPackagesRealm> QVPackagesMapper::arrayPackagesForJSONArray(const QVariantList &jsonArray,
                                                                   platform::Error *error) {
    platform::Error openError;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&openError);
    if (store.isNull()) {
        if (error)
            *error = openError;
        return {};
    }
    const platform::Error stored = createRealmObject(store, jsonArray);
    if (error)
        *error = stored;
    return store.objects(QVPackagesRealm::storeClassName()).toList<QVPackagesRealm>();
}

platform::Error QVPackagesMapper::createRealmObject(const QVariantList &jsonArray) {
    platform::Error openError;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&openError);
    if (store.isNull())
        return openError;
    return createRealmObject(store, jsonArray);
}

platform::Error QVPackagesMapper::createRealmObject(const platform::ObjectStore &store,
                                                    const QVariantList &jsonArray) {
    if (store.isNull())
        return platform::Error(QString::fromLatin1(platform::ObjectStore::kErrorDomain),
                               platform::ObjectStore::OpenFailed, QStringLiteral("The database is not open"));
    return safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
        const QList<platform::Object> packages =
            JSONMapping::createOrUpdateInRealm(tx, QVLanguagePackageRealm::storeClassName(), jsonArray);
        QStringList urls;
        for (const platform::Object &package : packages) {
            if (!package.isNull())
                urls.append(QVLanguagePackageRealm(package).packageUrl());
        }
        DevLog(QStringLiteral("%@"), urls.join(QStringLiteral(", ")));

        QStringList names; // distinct, first-seen order
        QSet<QString> seen;
        for (const QVariant &item : jsonArray) {
            const QString name = item.toMap().value(QStringLiteral("local_lang")).toString();
            if (!name.isNull() && !seen.contains(name)) {
                seen.insert(name);
                names.append(name);
            }
        }

        for (const QString &name : names) {
            const platform::Results matching = store.objects(QVLanguagePackageRealm::storeClassName())
                                                   .filter(Key(QStringLiteral("localName")) == name);
            const QVLanguagePackageRealm first(matching.first());
            if (first.isNull())
                continue;
            const QString code = first.languageCode();
            QString image = imageUrlForLanguage(store, code);
            if (image.isNull())
                image = QStringLiteral("");
            QVariantList list;
            for (const platform::Object &package : matching.toList())
                list.append(QVariant::fromValue(package));
            tx.createOrUpdate(QVPackagesRealm::storeClassName(),
                              {
                                  {QStringLiteral("languageCode"), code},
                                  {QStringLiteral("imageUrl"), image},
                                  {QStringLiteral("localName"), first.localName()},
                                  {QStringLiteral("packages"), list},
                              });
        }
    });
}

QString QVPackagesMapper::imageUrlForLanguage(const QString &code) {
    return imageUrlForLanguage(platform::ObjectStore::defaultStore(), code);
}

QString QVPackagesMapper::imageUrlForLanguage(const platform::ObjectStore &store, const QString &code) {
    if (store.isNull())
        return {};
    const QVLanguageRealm language(store.objects(QVLanguageRealm::storeClassName())
                                       .filter(Key(QStringLiteral("languageString")) == code)
                                       .first());
    if (language.isNull())
        return {};
    return language.imageFile();
}
