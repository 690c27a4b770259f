#pragma once

#include "core/models/QVPackagesRealm.h"

#include "platform/Error.h"

#include <QVariantList>

// Stores the backend's package catalogue: one QVLanguagePackageRealm per
// package and one QVPackagesRealm per language, in one write transaction
// (joining one that is already open). Main thread.
class QVPackagesMapper {
public:
    // Stores the catalogue and returns every language's record (unsorted).
    static QList<QVPackagesRealm> arrayPackagesForJSONArray(const QVariantList &jsonArray,
                                                            platform::Error *error = nullptr);
    static platform::Error createRealmObject(const QVariantList &jsonArray);
    // The flag picture of the first language whose languageString is the code; null when none.
    static QString imageUrlForLanguage(const QString &code);

    static platform::Error createRealmObject(const platform::ObjectStore &store,
                                             const QVariantList &jsonArray);
    static QString imageUrlForLanguage(const platform::ObjectStore &store, const QString &code);
};
