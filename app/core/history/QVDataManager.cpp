#include "core/history/QVDataManager.h"

#include "core/DevLog.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/ModelValues.h"
#include "services/packages/QVLanguagePackageRealm.h"
#include "services/packages/QVPackagesRealm.h"

#include "platform/MainQueue.h"

using platform::Key;
using platform::Object;

namespace {

QVariant objectValue(const platform::Object &object) {
    return object.isNull() ? QVariant() : QVariant::fromValue(object);
}

platform::Error invalidRecord(const QString &what) {
    return platform::Error(QString::fromLatin1(QVDataManager::kErrorDomain), QVDataManager::InvalidRecord,
                           what);
}

// The same translation: pair and both texts.
bool sameTranslation(const QVTranslationRealm &stored, const QVLanguageRealm &from, const QVLanguageRealm &to,
                     const QString &originalText, const QString &translatedText) {
    return stored.languageFrom().localeIdentifier() == from.localeIdentifier() &&
           stored.languageTo().localeIdentifier() == to.localeIdentifier() &&
           stored.originalText() == originalText && stored.translatedText() == translatedText;
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
    qint64 idTranslation, qint64 translationType, const QVLanguageRealm &languageFrom,
    const QVLanguageRealm &languageTo, bool isFavorite, const QString &originalText,
    const QString &translatedText, const QString &originalTranslit, const QString &translatedTranslit,
    double createdDate, const TranslationCompletion &completion) {
    DevLog(QStringLiteral("create date %f"), createdDate);
    if (languageFrom.isNull() || languageTo.isNull() || originalText.isNull() || translatedText.isNull())
        return invalidRecord(QStringLiteral("A translation needs both languages and both texts"));

    QVTranslationRealm stored;
    const platform::Error error = write([&](platform::Transaction &tx) {
        qint64 id = idTranslation;
        const QVTranslationRealm holder(
            tx.store().objectForPrimaryKey(QVTranslationRealm::storeClassName(), id));
        if (!holder.isNull() &&
            !sameTranslation(holder, languageFrom, languageTo, originalText, translatedText))
            id = QVTranslationRealm::nextFreeIdTranslation(tx, id);

        const QVariantMap dictionary = {
            {QStringLiteral("idTranslation"), id},
            {QStringLiteral("isSynch"), true},
            {QStringLiteral("translationType"), translationType},
            {QStringLiteral("languageFrom"), objectValue(languageFrom)},
            {QStringLiteral("languageTo"), objectValue(languageTo)},
            {QStringLiteral("isFavorite"), isFavorite},
            {QStringLiteral("originalText"), originalText},
            {QStringLiteral("translatedText"), translatedText},
            {QStringLiteral("transliterationOriginalText"),
             originalTranslit.isNull() ? QStringLiteral("") : originalTranslit},
            {QStringLiteral("transliterationTranslatedText"),
             translatedTranslit.isNull() ? QStringLiteral("") : translatedTranslit},
            {QStringLiteral("createdDate"), createdDate},
        };
        const platform::Error saved = saveTranslationFromDictionary(
            dictionary, [&](const QVTranslationRealm &record) { stored = record; });
        if (saved)
            throw platform::StoreError(saved.localizedDescription());
    });
    if (error)
        return error;
    if (completion)
        completion(stored);
    return {};
}

platform::Error QVDataManager::saveTranslationFromDictionary(const QVariantMap &dictionary,
                                                             const TranslationCompletion &completion) {
    const Object record = modelvalues::initWithValue(QVTranslationRealm::schema(), dictionary);
    if (!record.primaryKeyValue().isValid())
        return invalidRecord(QStringLiteral("A translation needs its identifier"));
    QVTranslationRealm stored;
    const platform::Error error =
        write([&](platform::Transaction &tx) { stored = QVTranslationRealm(tx.add(record)); });
    if (error)
        return error;
    if (completion)
        completion(stored);
    return {};
}

platform::Error QVDataManager::updateTranslationRealm(const QVTranslationRealm &record, qint64 newId,
                                                      const TranslationCompletion &completion) {
    if (!record.isValid() || !record.isManaged())
        return invalidRecord(QStringLiteral("Only a stored translation can be re-keyed"));
    QVTranslationRealm stored;
    const platform::Error error = write([&](platform::Transaction &tx) {
        if (record.idTranslation() == newId) {
            record.setIsFavorite(tx, true);
            record.setIsSynch(tx, true);
            stored = record;
            return;
        }
        QVariantMap values = record.values();
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
    const platform::Error error = write([&](platform::Transaction &tx) {
        for (const QVTranslationRealm &record : records) {
            if (!record.isNull())
                tx.add(record);
        }
    });
    if (error)
        return error;
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
