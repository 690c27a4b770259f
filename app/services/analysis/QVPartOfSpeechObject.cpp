#include "services/analysis/QVPartOfSpeechObject.h"

QVPartOfSpeechObject QVPartOfSpeechObject::initWithArray(const QVariantList &array, const QString &nameText) {
    QVPartOfSpeechObject part;
    part.m_name = nameText;
    for (const QVariant &item : array) {
        if (item.typeId() == QMetaType::QVariantMap)
            part.m_storageSynonyms.append(QVSynonymOne::initWithDictionary(item.toMap()));
    }
    return part;
}
