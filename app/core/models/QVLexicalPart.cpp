#include "core/models/QVLexicalPart.h"

#include "core/models/ModelValues.h"

#include <QSet>

using platform::PropertyType;

namespace {

const QChar kQuote = QLatin1Char('"');

// The meaning with "(" and ")" removed, or a null string when it is too short to hold anything.
QString unparenthesised(const QString &meaning) {
    if (meaning.size() < 2)
        return {};
    QString text = meaning;
    text.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
    return text;
}

} // namespace

platform::ObjectSchema QVLexicalPart::schema() {
    return platform::ObjectSchema(storeClassName())
        .property(QStringLiteral("syn"), PropertyType::String)
        .property(QStringLiteral("hypernym"), PropertyType::String)
        .property(QStringLiteral("hyponym"), PropertyType::String)
        .property(QStringLiteral("meaning"), PropertyType::String);
}

QVLexicalPart QVLexicalPart::initWithValue(const QVariantMap &values) {
    return QVLexicalPart(modelvalues::initWithValue(schema(), values));
}

QString QVLexicalPart::definition() const {
    const QString text = unparenthesised(meaning());
    if (text.isNull())
        return QString(QLatin1String(""));
    const qsizetype quote = text.indexOf(kQuote);
    return quote < 0 ? text : text.left(quote);
}

QString QVLexicalPart::exempleOfDefinition() const {
    const QString text = unparenthesised(meaning());
    const qsizetype quote = text.isNull() ? -1 : text.indexOf(kQuote);
    return quote < 0 ? QString(QLatin1String("")) : text.mid(quote);
}

QStringList QVLexicalPart::exemplesOfDefinition() const {
    const QString examples = exempleOfDefinition();
    if (examples.size() < 2)
        return {};
    return examples.split(QStringLiteral("; "));
}

QString QVLexicalPart::joinedWithoutOrigin(const QString &commaSeparated, const QString &origin) {
    if (commaSeparated.isNull())
        return QString(QLatin1String(""));
    QStringList kept;
    QSet<QString> seen;
    // Backends write "a, b" as often as "a,b": a piece is compared and joined without its blanks.
    for (const QString &raw : commaSeparated.split(QLatin1Char(','))) {
        const QString piece = raw.trimmed();
        if (piece.isEmpty() || piece == origin.trimmed() || seen.contains(piece))
            continue;
        seen.insert(piece);
        kept.append(piece);
    }
    return kept.join(QStringLiteral(", "));
}

QString QVLexicalPart::synonymWithOrigin(const QString &origin) const {
    return joinedWithoutOrigin(syn(), origin);
}

QString QVLexicalPart::hypernymWithOrigin(const QString &origin) const {
    return joinedWithoutOrigin(hypernym(), origin);
}

QString QVLexicalPart::hyponymWithOrigin(const QString &origin) const {
    return joinedWithoutOrigin(hyponym(), origin);
}
