#pragma once

#include <QString>
#include <QVariantMap>

// One synonym pair of a synonyms reply: synonyms in the source language and
// their translation. A key absent from the reply leaves its string null.
class QVSynonymOne {
public:
    QVSynonymOne() = default;
    static QVSynonymOne initWithDictionary(const QVariantMap &dictionary);

    QString syns() const { return m_syns; }
    QString translatedSyns() const { return m_translatedSyns; }

private:
    QString m_syns;
    QString m_translatedSyns;
};
