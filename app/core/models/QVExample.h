#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// One pair of example sentences of a dictionary entry.
class QVExample : public platform::Object {
public:
    QV_STORE_MODEL(QVExample)
    static platform::ObjectSchema schema();

    QV_STORE_PROPERTY(QString, fromText, setFromText)
    QV_STORE_PROPERTY(QString, toText, setToText)

    // A standalone example; a missing or non-text "fromText" / "toText" gives "".
    static QVExample initWithDictionary(const QVariantMap &dictionary);
};
