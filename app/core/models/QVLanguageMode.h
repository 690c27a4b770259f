#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// Which features the backend offers for one language. Owned by the language
// that links it (no primary key): when a catalogue refresh links a new flag
// record, the store deletes the one it replaces. An unset flag reads as false.
class QVLanguageMode : public platform::Object {
public:
    QV_STORE_MODEL(QVLanguageMode)

    static platform::ObjectSchema schema();
    // Catalogue "modes" key -> flag.
    static QVariantMap JSONInboundMappingDictionary();
    // Absent core flags become false instead of staying unset.
    static QVariantMap preprocessedJSON(const QVariantMap &json);

    QV_STORE_PROPERTY(bool, translation, setTranslation)
    QV_STORE_PROPERTY(bool, speechSynthesis, setSpeechSynthesis)
    QV_STORE_PROPERTY(bool, imageRecognition, setImageRecognition)
    QV_STORE_PROPERTY(bool, imageObjectRecognition, setImageObjectRecognition)
    QV_STORE_PROPERTY(bool, parseWebPage, setParseWebPage)
    QV_STORE_PROPERTY(bool, parseVoice, setParseVoice)
    QV_STORE_PROPERTY(bool, produceVoice, setProduceVoice)
    QV_STORE_PROPERTY(bool, offlineTranslate, setOfflineTranslate)
    QV_STORE_PROPERTY(bool, phraseBook, setPhraseBook)
    QV_STORE_PROPERTY(bool, wordNetDictionary, setWordNetDictionary)
    QV_STORE_PROPERTY(bool, translateWebSite, setTranslateWebSite)
    QV_STORE_PROPERTY(bool, translateDocument, setTranslateDocument)

    bool parseImage() const { return imageRecognition(); }
};
