#pragma once

#include "services/analysis/QVSynonymOne.h"

#include <QList>
#include <QString>
#include <QVariantList>

// The synonym pairs of one part of speech of a synonyms reply, in the reply's order.
class QVPartOfSpeechObject {
public:
    QVPartOfSpeechObject() = default;
    // One pair per dictionary of the array (other elements are skipped); the name when given.
    static QVPartOfSpeechObject initWithArray(const QVariantList &array, const QString &nameText);

    QString name() const { return m_name; }
    QList<QVSynonymOne> storageSynonyms() const { return m_storageSynonyms; }

private:
    QString m_name;
    QList<QVSynonymOne> m_storageSynonyms;
};
