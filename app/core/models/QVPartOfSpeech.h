#pragma once

#include "core/models/QVLexicalPart.h"

#include "platform/store/Store.h"

#include <QVariantList>

// The senses of a word under one part of speech ("noun", "verb", "adjective", "adverb").
class QVPartOfSpeech : public platform::Object {
public:
    QV_STORE_MODEL(QVPartOfSpeech)
    static platform::ObjectSchema schema();

    QV_STORE_PROPERTY(QString, name, setName)
    QV_STORE_LIST(storageLexicalPart)

    // A standalone part of speech: one sense per dictionary of the array, in
    // order (elements that are not dictionaries are skipped); `name` is set when given.
    static QVPartOfSpeech initWithArray(const QVariantList &array, const QString &nameText);

    QList<QVLexicalPart> lexicalParts() const;
};
