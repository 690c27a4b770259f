#pragma once

#include "platform/store/Store.h"

#include <optional>

// One speech-synthesis voice of a language, the element type of a language's
// synthesisIos list. Nothing fills these records yet; the class exists so the
// database schema keeps its shape.
class QVSpeechSynthesisVoice : public platform::Object {
public:
    QV_STORE_MODEL(QVSpeechSynthesisVoice)

    static platform::ObjectSchema schema();
    static QString primaryKey();

    QV_STORE_PROPERTY(QString, identifier, setIdentifier)
    QV_STORE_PROPERTY(QString, language, setLanguage)
    QV_STORE_PROPERTY(QString, name, setName)
    QV_STORE_PROPERTY(qint64, quality, setQuality)
    QV_STORE_PROPERTY(qint64, gender, setGender)
    QV_STORE_PROPERTY(std::optional<bool>, selected, setSelected)
};
