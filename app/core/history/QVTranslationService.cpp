#include "core/history/QVTranslationService.h"

#include "core/models/ModelValues.h"

using platform::Key;

bool QVTranslationService::isTranslationFavoriteObjectExistWithDictionary(const QVariantMap &dictionary) {
    return isTranslationFavoriteObjectExistWithDictionary(platform::ObjectStore::defaultStore(), dictionary);
}

QVTranslationRealm
QVTranslationService::translationRealmCoincidentWithDictionary(const QVariantMap &dictionary) {
    return translationRealmCoincidentWithDictionary(platform::ObjectStore::defaultStore(), dictionary);
}

bool QVTranslationService::isTranslationFavoriteObjectExistWithDictionary(const platform::ObjectStore &store,
                                                                          const QVariantMap &dictionary) {
    return !coincident(store, dictionary).isEmpty();
}

QVTranslationRealm
QVTranslationService::translationRealmCoincidentWithDictionary(const platform::ObjectStore &store,
                                                               const QVariantMap &dictionary) {
    return QVTranslationRealm(coincident(store, dictionary).first());
}

platform::Results QVTranslationService::coincident(const platform::ObjectStore &store,
                                                   const QVariantMap &dictionary) {
    const QString from = modelvalues::text(dictionary.value(QStringLiteral("languageFrom")));
    const QString to = modelvalues::text(dictionary.value(QStringLiteral("languageTo")));
    const QString textFrom = modelvalues::text(dictionary.value(QStringLiteral("textFrom")));
    const QString textTo = modelvalues::text(dictionary.value(QStringLiteral("textTo")));
    // A missing value would otherwise match records where it is unset.
    if (store.isNull() || from.isNull() || to.isNull() || textFrom.isNull() || textTo.isNull())
        return {};
    return store.objects(QVTranslationRealm::storeClassName())
        .filter(Key(QStringLiteral("languageFrom.localeIdentifier")) == from &&
                Key(QStringLiteral("languageTo.localeIdentifier")) == to &&
                Key(QStringLiteral("originalText")) == textFrom &&
                Key(QStringLiteral("translatedText")) == textTo);
}
