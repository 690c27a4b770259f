#pragma once

#include "platform/store/Store.h"

#include <QStringList>
#include <QVariantMap>

// One sense of a word within a part of speech: comma-separated related words
// and a definition that may be followed by quoted usage examples.
class QVLexicalPart : public platform::Object {
public:
    QV_STORE_MODEL(QVLexicalPart)
    static platform::ObjectSchema schema();

    QV_STORE_PROPERTY(QString, syn, setSyn)
    QV_STORE_PROPERTY(QString, hypernym, setHypernym)
    QV_STORE_PROPERTY(QString, hyponym, setHyponym)
    QV_STORE_PROPERTY(QString, meaning, setMeaning)

    // A standalone sense from a dictionary keyed by the field names.
    static QVLexicalPart initWithValue(const QVariantMap &values);

    // The meaning without parentheses, up to the first double quote.
    QString definition() const;
    // From the first double quote (included) to the end, parentheses removed.
    QString exempleOfDefinition() const;
    // exempleOfDefinition() cut at every "; ".
    QStringList exemplesOfDefinition() const;

    // The related words, each trimmed, without empty pieces, duplicates and
    // `origin`, joined with ", " in the order they first appear.
    QString synonymWithOrigin(const QString &origin) const;
    QString hypernymWithOrigin(const QString &origin) const;
    QString hyponymWithOrigin(const QString &origin) const;

    // The joining rule above, for any comma-separated list.
    static QString joinedWithoutOrigin(const QString &commaSeparated, const QString &origin);
};
