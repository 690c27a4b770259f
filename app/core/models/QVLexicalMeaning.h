#pragma once

#include "core/models/QVExample.h"
#include "core/models/QVPartOfSpeech.h"

#include "platform/store/Store.h"

#include <QStringList>
#include <QVariantMap>

// A dictionary entry: the word, its transcription, its senses by part of
// speech and example sentence pairs. Services build entries outside the
// store; the class is still a store class so a translation may link one.
class QVLexicalMeaning : public platform::Object {
public:
    QV_STORE_MODEL(QVLexicalMeaning)
    static platform::ObjectSchema schema();
    static QStringList ignoredProperties() { return {QStringLiteral("isEmpty")}; }

    QV_STORE_PROPERTY(QString, original, setOriginal)
    QV_STORE_PROPERTY(QString, transcription, setTranscription)
    QV_STORE_LIST(storagePartOfSpeech)
    QV_STORE_LIST(examples)

    // The parts of speech an entry may hold, in the order entries list them.
    static QStringList knownPartsOfSpeech();

    // An entry from a service's dictionary ("word", "transcription",
    // "partsOfSpeech" name -> array of senses, "examples" array of pairs);
    // `originalText` stands in for a missing "word". A null entry when there is
    // no word, transcription, part of speech or example at all.
    static QVLexicalMeaning initWithDictionary(const QVariantMap &dictionary, const QString &originalText);

    bool isEmpty() const; // no part of speech and no example

    QList<QVPartOfSpeech> partsOfSpeech() const;
    QList<QVExample> exampleList() const;
};
