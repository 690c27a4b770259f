#include "core/models/QVStringRealm.h"

platform::ObjectSchema QVStringRealm::schema() {
    return platform::ObjectSchema(storeClassName())
        .property(QStringLiteral("value"), platform::PropertyType::String);
}

QVStringRealm QVStringRealm::stringFromString(const QString &string) {
    return QVStringRealm(platform::Object::unmanaged(schema(), {{QStringLiteral("value"), string}}));
}
