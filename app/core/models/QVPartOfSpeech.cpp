#include "core/models/QVPartOfSpeech.h"

#include "core/DevLog.h"

using platform::Object;
using platform::PropertyType;

platform::ObjectSchema QVPartOfSpeech::schema() {
    return platform::ObjectSchema(storeClassName())
        .property(QStringLiteral("name"), PropertyType::String)
        .list(QStringLiteral("storageLexicalPart"), QVLexicalPart::storeClassName());
}

QVPartOfSpeech QVPartOfSpeech::initWithArray(const QVariantList &array, const QString &nameText) {
    QVPartOfSpeech part(Object::unmanaged(schema()));
    if (!nameText.isNull())
        part.setValue(QStringLiteral("name"), nameText);
    QList<Object> senses;
    for (const QVariant &item : array) {
        if (item.typeId() != QMetaType::QVariantMap) {
            DevLog(QStringLiteral("[dictionary] sense of type %@ skipped"),
                   QString::fromLatin1(item.typeName()));
            continue;
        }
        senses.append(QVLexicalPart::initWithValue(item.toMap()));
    }
    part.setValue(QStringLiteral("storageLexicalPart"), QVariant::fromValue(senses));
    return part;
}

QList<QVLexicalPart> QVPartOfSpeech::lexicalParts() const {
    QList<QVLexicalPart> out;
    for (const Object &o : storageLexicalPart().toList())
        out.append(QVLexicalPart(o));
    return out;
}
