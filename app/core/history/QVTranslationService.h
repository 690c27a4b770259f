#pragma once

#include "core/models/QVTranslationRealm.h"

#include <QVariantMap>

// Finds the stored translation a favourite from the backend stands for: same
// pair of locale identifiers ("languageFrom", "languageTo") and same texts
// ("textFrom", "textTo"), favourite or not. A dictionary missing any of the
// four matches nothing.
class QVTranslationService {
public:
    static bool isTranslationFavoriteObjectExistWithDictionary(const QVariantMap &dictionary);
    static QVTranslationRealm translationRealmCoincidentWithDictionary(const QVariantMap &dictionary);

    static bool isTranslationFavoriteObjectExistWithDictionary(const platform::ObjectStore &store,
                                                               const QVariantMap &dictionary);
    static QVTranslationRealm translationRealmCoincidentWithDictionary(const platform::ObjectStore &store,
                                                                       const QVariantMap &dictionary);

private:
    static platform::Results coincident(const platform::ObjectStore &store, const QVariantMap &dictionary);
};
