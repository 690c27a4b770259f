#include "core/history/QVDataManager.h"

#include "core/DevLog.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/ModelValues.h"
#include "core/models/QVLanguagePackageRealm.h"
#include "core/models/QVPackagesRealm.h"

#include "platform/MainQueue.h"

#include <limits>
#include <optional>

using platform::Key;
using platform::Object;

namespace {

const QString kLanguageLinks[] = {QStringLiteral("languageFrom"), QStringLiteral("languageTo")};

platform::Error invalidRecord(const QString &what) {
    return platform::Error(QString::fromLatin1(QVDataManager::kErrorDomain), QVDataManager::InvalidRecord,
                           what);
}

// The same translation: pair and both texts.
bool sameTranslation(const QVTranslationRealm &stored, const QString &from, const QString &to,
                     const QString &originalText, const QString &translatedText) {
    return stored.languageFrom().localeIdentifier() == from && stored.languageTo().localeIdentifier() == to &&
           stored.originalText() == originalText && stored.translatedText() == translatedText;
}

bool sameTranslation(const QVTranslationRealm &a, const QVTranslationRealm &b) {
    return sameTranslation(a, b.languageFrom().localeIdentifier(), b.languageTo().localeIdentifier(),
                           b.originalText(), b.translatedText());
}

// The locale identifier a language value names: a record, a dictionary or the identifier itself.
QString localeIdentifierOf(const QVariant &language) {
    if (language.typeId() == qMetaTypeId<Object>())
        return QVLanguageRealm(language.value<Object>()).localeIdentifier();
    if (language.typeId() == QMetaType::QVariantMap)
        return modelvalues::text(language.toMap().value(QVLanguageRealm::primaryKey()));
    return modelvalues::text(language);
}

bool isUnset(const QVariant &value) {
    if (value.typeId() == qMetaTypeId<Object>())
        return value.value<Object>().isNull();
    return isNullValue(value);
}

// Points each language link of `values` at the catalogue's stored record, so
// that storing the values links the language rather than writing it.
platform::Error linkCatalogueLanguages(const platform::ObjectStore &store, QVariantMap &values) {
    for (const QString &link : kLanguageLinks) {
        auto it = values.find(link);
        if (it == values.end() || isUnset(it.value()))
            continue;
        const QString identifier = localeIdentifierOf(it.value());
        const Object stored = identifier.isEmpty()
                                  ? Object()
                                  : store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), identifier);
        if (stored.isNull())
            return platform::Error(QString::fromLatin1(QVDataManager::kErrorDomain),
                                   QVDataManager::NotInCatalogue,
                                   QStringLiteral("Language \"%1\" is not in the catalogue").arg(identifier));
        it.value() = QVariant::fromValue(stored);
    }
    return {};
}

// The identifier a translation saved under a clock identifier takes. Earlier
// saves of that second went to `wanted` or, when it was taken, to the first
// free identifier after it: the record of the same translation among them is
// updated, found along the run of taken identifiers or, past a gap a deletion
// left, by its creation time in that second. Otherwise the first free
// identifier from `wanted`; nothing when every one up to the largest is taken.
std::optional<qint64> identifierForClockSave(const platform::ObjectStore &store, qint64 wanted,
                                             const QString &from, const QString &to,
                                             const QString &originalText, const QString &translatedText) {
    const QString className = QVTranslationRealm::storeClassName();
    for (qint64 id = wanted;; ++id) {
        const QVTranslationRealm holder(store.objectForPrimaryKey(className, id));
        if (!holder.isNull() && sameTranslation(holder, from, to, originalText, translatedText))
            return id;
        if (holder.isNull()) {
            const double second = static_cast<double>(wanted);
            const QVTranslationRealm moved(
                store.objects(className)
                    .filter(Key(QStringLiteral("idTranslation")) > id &&
                            Key(QStringLiteral("createdDate")) >= second &&
                            Key(QStringLiteral("createdDate")) < second + 1 &&
                            Key(QStringLiteral("languageFrom.localeIdentifier")) == from &&
                            Key(QStringLiteral("languageTo.localeIdentifier")) == to &&
                            Key(QStringLiteral("originalText")) == originalText &&
                            Key(QStringLiteral("translatedText")) == translatedText)
                    .sorted(QStringLiteral("idTranslation"))
                    .first());
            return moved.isNull() ? id : *moved.idTranslation();
        }
        if (id == std::numeric_limits<qint64>::max())
            return std::nullopt;
    }
}

} // namespace

QVDataManager &QVDataManager::sharedInstance() {
    static QVDataManager instance; // thread-safe one-time initialisation
    return instance;
}

platform::ObjectStore QVDataManager::store() {
    return platform::ObjectStore::defaultStore();
}

platform::Error QVDataManager::write(const std::function<void(platform::Transaction &tx)> &block) const {
    platform::Error error;
    const platform::ObjectStore defaultStore = platform::ObjectStore::defaultStore(&error);
    if (defaultStore.isNull())
        return error ? error
                     : platform::Error(QString::fromLatin1(kErrorDomain), NoStore,
                                       QStringLiteral("The database is not open"));
    return safeTransactionWithBlock(defaultStore, block);
}

// Translations

platform::Error QVDataManager::saveTranslationWithIdTranslation(
    TranslationId idTranslation, qint64 translationType, const QVLanguageRealm &languageFrom,
    const QVLanguageRealm &languageTo, bool isFavorite, const QString &originalText,
    const QString &translatedText, const QString &originalTranslit, const QString &translatedTranslit,
    double createdDate, const TranslationCompletion &completion) {
    DevLog(QStringLiteral("create date %f"), createdDate);
    if (languageFrom.isNull() || languageTo.isNull() || originalText.isNull() || translatedText.isNull())
        return invalidRecord(QStringLiteral("A translation needs both languages and both texts"));
    // Read once: the caller's languages may be unsaved copies or records of another store.
    const QString from = languageFrom.localeIdentifier();
    const QString to = languageTo.localeIdentifier();

    QVTranslationRealm stored;
    platform::Error refused;
    const platform::Error error = write([&](platform::Transaction &tx) {
        std::optional<qint64> id = idTranslation.value;
        if (!idTranslation.fromBackend)
            id = identifierForClockSave(tx.store(), idTranslation.value, from, to, originalText,
                                        translatedText);
        if (!id) {
            refused = invalidRecord(QStringLiteral("No free translation identifier is left"));
            return;
        }
        const QVariantMap dictionary = {
            {QStringLiteral("idTranslation"), *id},
            {QStringLiteral("isSynch"), true},
            {QStringLiteral("translationType"), translationType},
            {QStringLiteral("languageFrom"), from},
            {QStringLiteral("languageTo"), to},
            {QStringLiteral("isFavorite"), isFavorite},
            {QStringLiteral("originalText"), originalText},
            {QStringLiteral("translatedText"), translatedText},
            {QStringLiteral("transliterationOriginalText"),
             originalTranslit.isNull() ? QStringLiteral("") : originalTranslit},
            {QStringLiteral("transliterationTranslatedText"),
             translatedTranslit.isNull() ? QStringLiteral("") : translatedTranslit},
            {QStringLiteral("createdDate"), createdDate},
        };
        refused = storeTranslation(tx, dictionary, &stored);
    });
    if (error)
        return error;
    if (refused)
        return refused;
    if (completion)
        completion(stored);
    return {};
}

platform::Error QVDataManager::storeTranslation(platform::Transaction &tx, const QVariantMap &dictionary,
                                                QVTranslationRealm *stored) {
    QVariantMap values = dictionary;
    if (const platform::Error error = linkCatalogueLanguages(tx.store(), values))
        return error;
    const Object record = modelvalues::initWithValue(QVTranslationRealm::schema(), values);
    if (!record.primaryKeyValue().isValid())
        return invalidRecord(QStringLiteral("A translation needs its identifier"));
    *stored = QVTranslationRealm(tx.add(record));
    return {};
}

platform::Error QVDataManager::saveTranslationFromDictionary(const QVariantMap &dictionary,
                                                             const TranslationCompletion &completion) {
    QVTranslationRealm stored;
    platform::Error refused;
    const platform::Error error =
        write([&](platform::Transaction &tx) { refused = storeTranslation(tx, dictionary, &stored); });
    if (error)
        return error;
    if (refused)
        return refused;
    if (completion)
        completion(stored);
    return {};
}

platform::Error QVDataManager::updateTranslationRealm(const QVTranslationRealm &record, qint64 newId,
                                                      const TranslationCompletion &completion) {
    if (!record.isValid() || !record.isManaged())
        return invalidRecord(QStringLiteral("Only a stored translation can be re-keyed"));
    QVTranslationRealm stored;
    platform::Error refused;
    const platform::Error error = write([&](platform::Transaction &tx) {
        if (record.idTranslation() == newId) {
            record.setIsFavorite(tx, true);
            record.setIsSynch(tx, true);
            stored = record;
            return;
        }
        QVariantMap values = record.values();
        const QVTranslationRealm holder(
            tx.store().objectForPrimaryKey(QVTranslationRealm::storeClassName(), newId));
        if (!holder.isNull()) {
            if (!sameTranslation(holder, record)) {
                refused = platform::Error(
                    QString::fromLatin1(kErrorDomain), IdentifierTaken,
                    QStringLiteral("Translation id %1 already belongs to another translation").arg(newId));
                return;
            }
            const QVariantMap theirs = holder.values();
            for (auto it = theirs.cbegin(); it != theirs.cend(); ++it) {
                if (isUnset(values.value(it.key())))
                    values.insert(it.key(), it.value());
            }
        }
        values.insert(QStringLiteral("idTranslation"), newId);
        values.insert(QStringLiteral("isFavorite"), true);
        values.insert(QStringLiteral("isSynch"), true);
        // Saved like any history record: a missing transliteration is stored as "".
        for (const QString &key : {QStringLiteral("transliterationOriginalText"),
                                   QStringLiteral("transliterationTranslatedText")}) {
            if (values.value(key).toString().isNull())
                values.insert(key, QStringLiteral(""));
        }
        stored = QVTranslationRealm(tx.replace(QVTranslationRealm::storeClassName(), values));
        tx.remove(record);
    });
    if (error)
        return error;
    if (refused)
        return refused;
    if (completion)
        completion(stored);
    return {};
}

platform::Error QVDataManager::removeObjectFromHistory(const QVTranslationRealm &record) {
    if (!record.isValid() || !record.isManaged())
        return {};
    return write([&](platform::Transaction &tx) { tx.remove(record); });
}

platform::Error QVDataManager::setFavorite(bool favorite, const QVTranslationRealm &record) {
    if (!record.isValid())
        return {};
    if (!record.isManaged()) {
        record.setValue(QStringLiteral("isFavorite"), favorite);
        return {};
    }
    return write([&](platform::Transaction &tx) { record.setIsFavorite(tx, favorite); });
}

QVTranslationRealm QVDataManager::getRealObjectById(qint64 idTranslation) const {
    const platform::ObjectStore defaultStore = store();
    if (defaultStore.isNull())
        return {};
    return QVTranslationRealm(
        defaultStore.objectForPrimaryKey(QVTranslationRealm::storeClassName(), idTranslation));
}

QVTranslationRealm QVDataManager::getNextFromObject(const QVTranslationRealm &record) const {
    const platform::ObjectStore defaultStore = store();
    if (defaultStore.isNull())
        return {};
    const platform::Results newestFirst = defaultStore.objects(QVTranslationRealm::storeClassName())
                                              .sorted(QStringLiteral("createdDate"), false);
    if (record.isNull())
        return QVTranslationRealm(newestFirst.first());
    const int index = newestFirst.indexOf(record);
    if (index < 0)
        return {};
    return QVTranslationRealm(newestFirst.at(index + 1));
}

platform::Error QVDataManager::saveTranslations(const QList<QVTranslationRealm> &records,
                                                const std::function<void()> &completion) {
    platform::Error refused;
    const platform::Error error = write([&](platform::Transaction &tx) {
        // Every language is resolved before anything is written, so a refusal writes nothing.
        QList<QVariantMap> rows;
        for (const QVTranslationRealm &record : records) {
            if (record.isNull() || (record.isManaged() && !record.isValid()))
                continue;
            QVariantMap values = record.values();
            refused = linkCatalogueLanguages(tx.store(), values);
            if (refused)
                return;
            rows.append(values);
        }
        for (const QVariantMap &values : std::as_const(rows))
            tx.replace(QVTranslationRealm::storeClassName(), values);
    });
    if (error)
        return error;
    if (refused)
        return refused;
    if (completion)
        completion();
    return {};
}

platform::Error QVDataManager::removeAllTranslation() {
    return write([](platform::Transaction &tx) { tx.removeAll(QVTranslationRealm::storeClassName()); });
}

platform::Error QVDataManager::removeAllTranslationAndSuccess(const std::function<void()> &success) {
    const platform::Error error = removeAllTranslation();
    if (!error && success)
        platform::dispatchAsyncMain(success);
    return error;
}

platform::Error QVDataManager::removeTranslationWithPredicate(const platform::Predicate &predicate,
                                                              const std::function<void()> &success) {
    const platform::Error error = write([&](platform::Transaction &tx) {
        tx.removeAll(tx.store().objects(QVTranslationRealm::storeClassName()).filter(predicate));
    });
    if (!error && success)
        platform::dispatchAsyncMain(success);
    return error;
}

platform::Error QVDataManager::resetLearnProgress() {
    return write([](platform::Transaction &tx) {
        const auto all =
            tx.store().objects(QVTranslationRealm::storeClassName()).toList<QVTranslationRealm>();
        for (const QVTranslationRealm &record : all)
            record.setLearnCount(tx, 0);
    });
}

// Conversation messages

platform::Error QVDataManager::saveChatMessagesFromHistory(const QVariantList &messages) {
    return write([&](platform::Transaction &tx) {
        const QList<Object> stored =
            JSONMapping::createOrUpdateInRealm(tx, QVChatMessageRealm::storeClassName(), messages);
        // Identifiers only: the messages are the user's text.
        QStringList ids;
        for (const Object &message : stored) {
            if (!message.isNull())
                ids.append(QVChatMessageRealm(message).idMessage());
        }
        DevLog(QStringLiteral("__SAVED__%@"), ids.join(QStringLiteral(", ")));
    });
}

platform::Error QVDataManager::saveBuiltChatMessage(const QVChatMessageRealm &message,
                                                    const std::function<void(const QString &)> &completion) {
    if (message.isNull() || message.idMessage().isEmpty())
        return invalidRecord(QStringLiteral("A chat message needs its time and UUID"));
    return write([&](platform::Transaction &tx) {
        const QVChatMessageRealm stored(tx.add(message));
        if (completion)
            completion(QString(stored.messageUUID()));
    });
}

platform::Error QVDataManager::saveChatMessage(const QVariantMap &message, const QString &chat,
                                               const std::function<void(const QString &)> &completion) {
    return saveBuiltChatMessage(QVChatMessageRealm::initWithChatMessage(message, chat), completion);
}

platform::Error
QVDataManager::saveChatActionChatMessage(const QVariantMap &message, const QString &chat,
                                         const std::function<void(const QString &)> &completion) {
    return saveBuiltChatMessage(QVChatMessageRealm::initWithChatActionMessage(message, chat), completion);
}

platform::Error QVDataManager::saveUnconfirmedChatMessage(const QVariantMap &message, const QString &chat) {
    return saveBuiltChatMessage(QVChatMessageRealm::initWithUnconfirmedChatMessage(message, chat), {});
}

platform::Error QVDataManager::saveConfirmedChatMessage(const QVariantMap &message, const QString &chat) {
    const platform::ObjectStore defaultStore = store();
    const QString id = QVChatMessageRealm::idMessageFor(message.value(QStringLiteral("time")),
                                                        message.value(QStringLiteral("uuid")));
    if (defaultStore.isNull() || id.isEmpty())
        return {};
    const QVChatMessageRealm stored(
        defaultStore.objectForPrimaryKey(QVChatMessageRealm::storeClassName(), id));
    if (stored.isNull())
        return {};
    return write(
        [&](platform::Transaction &tx) { stored.updateWithConfirmedChatMessage(&tx, message, chat); });
}

platform::Error QVDataManager::removeAllChatMessage() {
    return write([](platform::Transaction &tx) { tx.removeAll(QVChatMessageRealm::storeClassName()); });
}

platform::Error QVDataManager::removeAllChatMessageAndSucces(const std::function<void()> &success) {
    const platform::Error error = removeAllChatMessage();
    if (!error && success)
        platform::dispatchAsyncMain(success);
    return error;
}

platform::Results QVDataManager::chatMessagesFromChat(const QString &chat) const {
    const platform::ObjectStore defaultStore = store();
    if (defaultStore.isNull())
        return {};
    return defaultStore.objects(QVChatMessageRealm::storeClassName())
        .filter(Key(QStringLiteral("codeChat")) == chat)
        .sorted(QStringLiteral("messageTime"));
}

platform::Results QVDataManager::getNotDeliveredMessagesForChat(const QString &chat) const {
    const platform::ObjectStore defaultStore = store();
    if (defaultStore.isNull())
        return {};
    return defaultStore
        .objects(QVChatMessageRealm::storeClassName())
        // Only messages marked unconfirmed: those imported from the history carry no flag and were delivered.
        .filter(Key(QStringLiteral("codeChat")) == chat && Key(QStringLiteral("isConfirmed")) == false)
        .sorted(QStringLiteral("messageTime"));
}

// Untranslated words and package records

platform::Error QVDataManager::saveUnknownWords(const QList<QVUnknownWord> &words) {
    return write([&](platform::Transaction &tx) {
        for (const QVUnknownWord &word : words) {
            if (!word.isNull() && !word.word().isEmpty())
                tx.add(word);
        }
    });
}

platform::Error QVDataManager::removeAllUnknownWords() {
    return write([](platform::Transaction &tx) { tx.removeAll(QVUnknownWord::storeClassName()); });
}

platform::Error QVDataManager::removeAllPackages() {
    return write([](platform::Transaction &tx) {
        tx.removeAll(QVPackagesRealm::storeClassName());
        tx.removeAll(QVLanguagePackageRealm::storeClassName());
    });
}
