#include "core/models/QVLexicalMeaning.h"

#include "core/DevLog.h"
#include "core/models/ModelValues.h"

using platform::Object;
using platform::PropertyType;

platform::ObjectSchema QVLexicalMeaning::schema() {
    return platform::ObjectSchema(storeClassName())
        .property(QStringLiteral("original"), PropertyType::String)
        .property(QStringLiteral("transcription"), PropertyType::String)
        .list(QStringLiteral("storagePartOfSpeech"), QVPartOfSpeech::storeClassName())
        .list(QStringLiteral("examples"), QVExample::storeClassName());
}

QStringList QVLexicalMeaning::knownPartsOfSpeech() {
    return {QStringLiteral("noun"), QStringLiteral("verb"), QStringLiteral("adjective"),
            QStringLiteral("adverb")};
}

QVLexicalMeaning QVLexicalMeaning::initWithDictionary(const QVariantMap &dictionary,
                                                      const QString &originalText) {
    // A "word" that is not text counts as missing.
    QString original = modelvalues::text(dictionary.value(QStringLiteral("word")));
    if (original.isNull())
        original = originalText;
    const QString transcription = modelvalues::text(dictionary.value(QStringLiteral("transcription")));

    // Parts of speech come in a fixed order rather than the incoming dictionary's.
    QList<Object> parts;
    const QVariantMap partsOfSpeech = dictionary.value(QStringLiteral("partsOfSpeech")).toMap();
    for (const QString &name : knownPartsOfSpeech()) {
        const QVariant senses = partsOfSpeech.value(name);
        if (!partsOfSpeech.contains(name))
            continue;
        if (senses.typeId() != QMetaType::QVariantList) {
            DevLog(QStringLiteral("[dictionary] part of speech %@ is not an array; skipped"), name);
            continue;
        }
        parts.append(QVPartOfSpeech::initWithArray(senses.toList(), name));
    }

    QList<Object> examples;
    for (const QVariant &item : dictionary.value(QStringLiteral("examples")).toList()) {
        if (item.typeId() == QMetaType::QVariantMap)
            examples.append(QVExample::initWithDictionary(item.toMap()));
    }

    if (original.isNull() && transcription.isNull() && parts.isEmpty() && examples.isEmpty())
        return {};
    QVLexicalMeaning entry(Object::unmanaged(schema()));
    if (!original.isNull())
        entry.setValue(QStringLiteral("original"), original);
    if (!transcription.isNull())
        entry.setValue(QStringLiteral("transcription"), transcription);
    entry.setValue(QStringLiteral("storagePartOfSpeech"), QVariant::fromValue(parts));
    entry.setValue(QStringLiteral("examples"), QVariant::fromValue(examples));
    return entry;
}

bool QVLexicalMeaning::isEmpty() const {
    return storagePartOfSpeech().isEmpty() && examples().isEmpty();
}

QList<QVPartOfSpeech> QVLexicalMeaning::partsOfSpeech() const {
    QList<QVPartOfSpeech> out;
    for (const Object &o : storagePartOfSpeech().toList())
        out.append(QVPartOfSpeech(o));
    return out;
}

QList<QVExample> QVLexicalMeaning::exampleList() const {
    QList<QVExample> out;
    for (const Object &o : examples().toList())
        out.append(QVExample(o));
    return out;
}
