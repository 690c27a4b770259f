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
//   // A favourite downloaded from the account, under the backend's own id:
//   manager.saveTranslationWithIdTranslation(QVDataManager::TranslationId::backend(favouriteId), 1, ...);
//
// Languages are linked, never written: a save resolves each language it is
// given (also an unsaved copy) to the catalogue's stored record by its locale
// identifier, and refuses a language the catalogue lacks (NotInCatalogue).
class QVDataManager {
public:
    static QVDataManager &sharedInstance();

    using TranslationCompletion = std::function<void(const QVTranslationRealm &stored)>;

    // The identifier a translation is saved under, and where it came from.
    // A plain number is one minted locally from the clock (implicit, as every
    // local saver passes one); the backend's favourite ids are named as such:
    // TranslationId::backend(id).
    struct TranslationId {
        TranslationId(qint64 clockId) : value(clockId) {}
        static TranslationId backend(qint64 id) {
            TranslationId backendId(id);
            backendId.fromBackend = true;
            return backendId;
        }
        qint64 value;
        bool fromBackend = false;
    };

    // Saves a translation (marked synchronised, absent transliterations as "").
    //
    // A clock identifier names a second, and two translations made in the same
    // second would share it: the translation goes to the first record, from the
    // identifier on, that holds the same translation (pair and both texts) and
    // updates it; else to the first free identifier from there. Saving the
    // same translation again therefore updates it wherever it went.
    //
    // A backend identifier is the favourite's own: the translation is stored
    // under exactly that identifier, updating the record that holds it.
    platform::Error saveTranslationWithIdTranslation(
        TranslationId idTranslation, qint64 translationType, const QVLanguageRealm &languageFrom,
        const QVLanguageRealm &languageTo, bool isFavorite, const QString &originalText,
        const QString &translatedText, const QString &originalTranslit, const QString &translatedTranslit,
        double createdDate, const TranslationCompletion &completion = {});
    // Adds the record made from the dictionary (field names as keys), or
    // replaces the stored one with the same "idTranslation". A language may be
    // given as a record, a dictionary or a locale identifier.
    platform::Error saveTranslationFromDictionary(const QVariantMap &dictionary,
                                                  const TranslationCompletion &completion);
    // Re-keys a stored translation under the new identifier (a local favourite
    // taking the backend's id): every field is copied, the copy is a favourite,
    // and the old record goes in the same transaction. Under the identifier it
    // already has, the record just becomes a favourite.
    //
    // When another record already holds the new identifier: if it is the same
    // translation the two are merged into it (the re-keyed record's fields win,
    // empty ones keep the other's) and the old record goes; if it is a
    // different translation nothing is written and the error is
    // IdentifierTaken, so a record the backend knows by that id is never
    // silently replaced.
    platform::Error updateTranslationRealm(const QVTranslationRealm &record, qint64 newId,
                                           const TranslationCompletion &completion);
    platform::Error removeObjectFromHistory(const QVTranslationRealm &record);
    // A missing or deleted record is ignored.
    platform::Error setFavorite(bool favorite, const QVTranslationRealm &record);
    QVTranslationRealm getRealObjectById(qint64 idTranslation) const;
    // Newest first: without a record the newest, else the one after it (null at the end).
    QVTranslationRealm getNextFromObject(const QVTranslationRealm &record = {}) const;
    // Adds or replaces every record in one transaction; the given records stay
    // standalone. Refused whole when one links a language the catalogue lacks.
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
    enum ErrorCode { NoStore = 1, InvalidRecord = 2, NotInCatalogue = 3, IdentifierTaken = 4 };

private:
    QVDataManager() = default;
    platform::Error saveBuiltChatMessage(const QVChatMessageRealm &message,
                                         const std::function<void(const QString &)> &completion);
    platform::Error write(const std::function<void(platform::Transaction &tx)> &block) const;
    static platform::Error storeTranslation(platform::Transaction &tx, const QVariantMap &dictionary,
                                            QVTranslationRealm *stored);
    static platform::ObjectStore store();
};
