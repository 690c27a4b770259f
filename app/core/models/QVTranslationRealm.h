#pragma once

#include "core/models/QVBaseTranslateModel.h"
#include "core/models/QVLexicalMeaning.h"

#include <QByteArray>
#include <QVariantMap>

// A stored translation of the history, with transliterations, the translator
// that produced it and its kind.
class QVTranslationRealm : public QVBaseTranslateModel {
public:
    // QV_STORE_MODEL for a class derived from another model.
    QVTranslationRealm() = default;
    explicit QVTranslationRealm(const platform::Object &object) : QVBaseTranslateModel(object) {}
    static QString storeClassName() { return QStringLiteral("QVTranslationRealm"); }
    static platform::ObjectSchema schema();
    static QVariantMap JSONInboundMappingDictionary();

    QV_STORE_PROPERTY(std::optional<bool>, isSynch, setIsSynch)
    QV_STORE_PROPERTY(QString, transliterationOriginalText, setTransliterationOriginalText)
    QV_STORE_PROPERTY(QString, transliterationTranslatedText, setTransliterationTranslatedText)
    QV_STORE_PROPERTY(std::optional<qint64>, direaction, setDireaction)
    QV_STORE_PROPERTY(std::optional<qint64>, translationType, setTranslationType)
    QV_STORE_PROPERTY(QByteArray, storagePicture, setStoragePicture)
    QV_STORE_PROPERTY(std::optional<qint64>, learnCount, setLearnCount)
    QV_STORE_PROPERTY(QVLexicalMeaning, lexicalMeaning, setLexicalMeaning)
    QV_STORE_PROPERTY(QString, translationViaCompany, setTranslationViaCompany)
    QV_STORE_PROPERTY(std::optional<bool>, isSaveICloud, setIsSaveICloud)

    // Identifiers of new translations. Two translations made in the same
    // second would share the creation-time identifier and the second would
    // overwrite the first; a saver therefore asks for the first identifier from
    // `wanted` on that no stored translation holds. Ask inside the write
    // transaction that stores the record, so no other writer takes it between.
    static qint64 nextFreeIdTranslation(platform::Transaction &tx, qint64 wanted);

    // Stores a new translation from a record dictionary (the inbound table's
    // keys) under the next free identifier from its "idTranslation" (or, when
    // that is missing, from its "createdDate", else from now). Must run inside
    // a write transaction; null when nothing could be stored.
    static QVTranslationRealm createNewInRealm(platform::Transaction &tx, const QVariantMap &json);

    // Keyed archive of the record ("kTranslation..." keys); the languages by
    // their locale identifiers.
    QVariantMap encodeWithCoder() const;
    // A standalone record from an archive; languages are resolved in `store`
    // and left unset when the catalogue lacks them. Values of the wrong kind are skipped.
    static QVTranslationRealm initWithCoder(const QVariantMap &coder, const platform::ObjectStore &store);
    QByteArray archivedData() const;
    // Null when the bytes are not an archive of a translation.
    static QVTranslationRealm unarchivedObject(const QByteArray &data, const platform::ObjectStore &store);
};
