#include "core/models/QVExample.h"

#include "core/models/ModelValues.h"

using platform::PropertyType;

platform::ObjectSchema QVExample::schema() {
    return platform::ObjectSchema(storeClassName())
        .property(QStringLiteral("fromText"), PropertyType::String)
        .property(QStringLiteral("toText"), PropertyType::String);
}

QVExample QVExample::initWithDictionary(const QVariantMap &dictionary) {
    // text() of a missing key is a null string; the empty string is stored instead.
    const QString from = modelvalues::text(dictionary.value(QStringLiteral("fromText")));
    const QString to = modelvalues::text(dictionary.value(QStringLiteral("toText")));
    return QVExample(platform::Object::unmanaged(
        schema(), {{QStringLiteral("fromText"), from.isNull() ? QString(QLatin1String("")) : from},
                   {QStringLiteral("toText"), to.isNull() ? QString(QLatin1String("")) : to}}));
}
