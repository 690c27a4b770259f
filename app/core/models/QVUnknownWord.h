#pragma once

#include "platform/store/Store.h"

// A word an offline translation step left untranslated, kept until it is
// uploaded. Storing a word again replaces its record, so `to` is the last seen.
class QVUnknownWord : public platform::Object {
public:
    QV_STORE_MODEL(QVUnknownWord)
    static platform::ObjectSchema schema();
    static QString primaryKey() { return QStringLiteral("word"); }

    QV_STORE_PROPERTY(QString, word, setWord)
    // "en" for a step into English, else the target's code.
    QV_STORE_PROPERTY(QString, to, setTo)

    // A standalone record, or a null one for an empty word.
    static QVUnknownWord initWithWord(const QString &word, const QString &toLang);
};
