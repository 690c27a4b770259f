#include "services/analysis/QVSynonymOne.h"

#include "core/models/ModelValues.h"

QVSynonymOne QVSynonymOne::initWithDictionary(const QVariantMap &dictionary) {
    QVSynonymOne pair;
    // A value that is not text counts as absent.
    pair.m_syns = modelvalues::text(dictionary.value(QStringLiteral("syns")));
    pair.m_translatedSyns = modelvalues::text(dictionary.value(QStringLiteral("translatedSyns")));
    return pair;
}
