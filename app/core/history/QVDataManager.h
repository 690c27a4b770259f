#pragma once

#include "core/models/QVChatMessageRealm.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVTranslationRealm.h"
#include "core/models/QVUnknownWord.h"

#include "platform/Error.h"
#include "platform/store/Store.h"

#include <QVariantMap>

#include <functional>

// The history in the default database: translations with their favourite
// flags, conversation messages, untranslated words and package records.
//
// It keeps no state: every operation works synchronously on the default store
// from the calling thread. Writes join a write transaction the caller already
// holds (the caller then commits, or rolls everything back); otherwise they
// commit their own. A failed write returns its error and calls no completion.
//
//   QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
//       QVBaseTranslateModel::identifierForDate(now), 1, from, to, false, text, result, {}, {},
//       QVBaseTranslateModel::timeIntervalSinceReferenceDate(now),
//       [](const QVTranslationRealm &stored) { ... });
class QVDataManager {
public:
    static QVDataManager &sharedInstance();

    using TranslationCompletion = std::function<void(const QVTranslationRealm &stored)>;

    // Saves a translation (marked synchronised, absent transliterations as "").
    // The same translation saved again under its identifier is updated in
    // place; a different translation that already holds the identifier (two
    // made in the same second) is kept, and the new one takes the next free
    // identifier.
    platform::Error saveTranslationWithIdTranslation(
        qint64 idTranslation, qint64 translationType, const QVLanguageRealm &languageFrom,
        const QVLanguageRealm &languageTo, bool isFavorite, const QString &originalText,
        const QString &translatedText, const QString &originalTranslit, const QString &translatedTranslit,
        double createdDate, const TranslationCompletion &completion = {});
    // Adds the record made from the dictionary (field names as keys), or
    // replaces the stored one with the same "idTranslation".
    platform::Error saveTranslationFromDictionary(const QVariantMap &dictionary,
                                                  const TranslationCompletion &completion);
    // Re-keys a stored translation under the new identifier (a local favourite
    // taking the backend's id): every field is copied, the copy is a favourite,
    // and the old record goes in the same transaction. Under the identifier it
    // already has, the record just becomes a favourite.
    platform::Error updateTranslationRealm(const QVTranslationRealm &record, qint64 newId,
                                           const TranslationCompletion &completion);
    platform::Error removeObjectFromHistory(const QVTranslationRealm &record);
    // A missing or deleted record is ignored.
    platform::Error setFavorite(bool favorite, const QVTranslationRealm &record);
    QVTranslationRealm getRealObjectById(qint64 idTranslation) const;
    // Newest first: without a record the newest, else the one after it (null at the end).
    QVTranslationRealm getNextFromObject(const QVTranslationRealm &record = {}) const;
    platform::Error saveTranslations(const QList<QVTranslationRealm> &records,
                                     const std::function<void()> &completion);
    platform::Error removeAllTranslation();
    // The block runs later on the main thread, after a successful removal.
    platform::Error removeAllTranslationAndSuccess(const std::function<void()> &success);
    platform::Error removeTranslationWithPredicate(const platform::Predicate &predicate,
                                                   const std::function<void()> &success);
    platform::Error resetLearnProgress();

    // Conversation messages.
    platform::Error saveChatMessagesFromHistory(const QVariantList &messages);
    // The completion gets the message's UUID and runs inside the transaction.
    platform::Error saveChatMessage(const QVariantMap &message, const QString &chat,
                                    const std::function<void(const QString &messageUUID)> &completion);
    platform::Error
    saveChatActionChatMessage(const QVariantMap &message, const QString &chat,
                              const std::function<void(const QString &messageUUID)> &completion);
    platform::Error saveUnconfirmedChatMessage(const QVariantMap &message, const QString &chat);
    // A confirmation for a message that is not stored is ignored.
    platform::Error saveConfirmedChatMessage(const QVariantMap &message, const QString &chat);
    platform::Error removeAllChatMessage();
    platform::Error removeAllChatMessageAndSucces(const std::function<void()> &success);
    platform::Results chatMessagesFromChat(const QString &chat) const;           // by time, ascending
    platform::Results getNotDeliveredMessagesForChat(const QString &chat) const; // unconfirmed, by time

    // Untranslated words and package records.
    platform::Error saveUnknownWords(const QList<QVUnknownWord> &words);
    platform::Error removeAllUnknownWords();
    platform::Error removeAllPackages();

    static constexpr const char *kErrorDomain = "QVDataManager";
    enum ErrorCode { NoStore = 1, InvalidRecord = 2 };

private:
    QVDataManager() = default;
    platform::Error saveBuiltChatMessage(const QVChatMessageRealm &message,
                                         const std::function<void(const QString &)> &completion);
    platform::Error write(const std::function<void(platform::Transaction &tx)> &block) const;
    static platform::ObjectStore store();
};
