#pragma once

#include "services/analysis/QVPartOfSpeechObject.h"

#include "platform/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

// A synonyms reply for one word: part-of-speech name -> array of
// {"syns", "translatedSyns"}. The dictionary pane builds it and shows the parts
// of speech in the reply's order, so the reply is best read from its JSON text:
// a QVariantMap (like QJsonObject) has already sorted its keys.
//
//   QVSynonyms synonyms = QVSynonyms::initWithJson(replyBody, "run", &error);
//   for (const QVPartOfSpeechObject &part : synonyms.storagePartOfSpeech()) ...
class QVSynonyms {
public:
    QVSynonyms() = default;
    // Parts of speech in the text's key order; a text that is not a JSON object gives none and *error.
    static QVSynonyms initWithJson(const QByteArray &json, const QString &originalText,
                                   platform::Error *error = nullptr);
    // Parts of speech in the map's (sorted) key order.
    static QVSynonyms initWithDictionary(const QVariantMap &dictionary, const QString &originalText);

    QString original() const { return m_original; }
    QList<QVPartOfSpeechObject> storagePartOfSpeech() const { return m_storagePartOfSpeech; }

    // The keys of a JSON object text in the order they are written, each once;
    // empty when the text is not a JSON object.
    static QStringList orderedKeysOfJsonObject(const QByteArray &json);

private:
    static QVSynonyms build(const QStringList &keys, const QVariantMap &values, const QString &originalText);

    QString m_original;
    QList<QVPartOfSpeechObject> m_storagePartOfSpeech;
};
