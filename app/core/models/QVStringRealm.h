#pragma once

#include "platform/store/Store.h"

// One string, the element of stored string lists (no primary key: it belongs
// to the object whose list holds it).
class QVStringRealm : public platform::Object {
public:
    QV_STORE_MODEL(QVStringRealm)
    static platform::ObjectSchema schema();

    QV_STORE_PROPERTY(QString, value, setValue)

    // A standalone record holding the string.
    static QVStringRealm stringFromString(const QString &string);

    using platform::Object::setValue; // the standalone setter by property name stays reachable
    using platform::Object::value;
};
