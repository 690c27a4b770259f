#include "core/models/QVTranslationRealm.h"

#include "core/mapping/JSONMapping.h"
#include "core/models/ModelValues.h"

#include <QDataStream>
#include <QIODevice>

#include <cmath>
#include <limits>

using platform::Object;
using platform::PropertyType;

namespace {

// Archive key -> property; the two language keys hold locale identifiers.
const char *const kArchiveKeys[][2] = {
    {"kTranslationId", "idTranslation"},          {"kTranslationLanguageFrom", "languageFrom"},
    {"kTranslationLanguageTo", "languageTo"},     {"kTranslationIsFavorite", "isFavorite"},
    {"kTranslationOriginalText", "originalText"}, {"kTranslationTranslatedText", "translatedText"},
    {"kTranslationDireaction", "direaction"},     {"kTranslationTranslationType", "translationType"},
    {"kTranslationCreatedDate", "createdDate"},
};

// Marks our archives so that other bytes are refused rather than misread.
constexpr quint32 kArchiveMagic = 0x51565452; // "QVTR"
constexpr quint32 kArchiveVersion = 1;

bool isLanguageProperty(const QString &property) {
    return property == QLatin1String("languageFrom") || property == QLatin1String("languageTo");
}

} // namespace

platform::ObjectSchema QVTranslationRealm::schema() {
    return baseSchema(storeClassName())
        .property(QStringLiteral("isSynch"), PropertyType::Bool)
        .property(QStringLiteral("transliterationOriginalText"), PropertyType::String)
        .property(QStringLiteral("transliterationTranslatedText"), PropertyType::String)
        .property(QStringLiteral("direaction"), PropertyType::Int)
        .property(QStringLiteral("translationType"), PropertyType::Int)
        .property(QStringLiteral("storagePicture"), PropertyType::Data)
        .property(QStringLiteral("learnCount"), PropertyType::Int)
        .link(QStringLiteral("lexicalMeaning"), QVLexicalMeaning::storeClassName())
        .property(QStringLiteral("translationViaCompany"), PropertyType::String)
        .property(QStringLiteral("isSaveICloud"), PropertyType::Bool);
}

QVariantMap QVTranslationRealm::JSONInboundMappingDictionary() {
    QVariantMap table;
    for (const char *key : {"idTranslation", "isSynch", "originalText", "translatedText", "detectedLanguage",
                            "transliterationOriginalText", "transliterationTranslatedText", "translationType",
                            "isFavorite", "translationViaCompany", "learnCount", "createdDate"})
        table.insert(QString::fromLatin1(key), QString::fromLatin1(key));
    return table;
}

qint64 QVTranslationRealm::nextFreeIdTranslation(platform::Transaction &tx, qint64 wanted) {
    const platform::ObjectStore store = tx.store();
    qint64 id = wanted;
    // Reads inside the transaction see its own uncommitted records too.
    while (id < std::numeric_limits<qint64>::max() &&
           !store.objectForPrimaryKey(storeClassName(), id).isNull())
        ++id;
    return id;
}

QVTranslationRealm QVTranslationRealm::createNewInRealm(platform::Transaction &tx, const QVariantMap &json) {
    std::optional<qint64> wanted = modelvalues::integer(json.value(QStringLiteral("idTranslation")));
    if (!wanted) {
        bool ok = false;
        const double created = json.value(QStringLiteral("createdDate")).toDouble(&ok);
        // Only a creation time that is a plausible number of seconds names the identifier.
        const bool usable = ok && std::isfinite(created) && std::fabs(created) < 1e15;
        wanted = usable ? static_cast<qint64>(std::floor(created))
                        : identifierForDate(QDateTime::currentDateTimeUtc());
    }
    QVariantMap record = json;
    record.insert(QStringLiteral("idTranslation"), nextFreeIdTranslation(tx, *wanted));
    return QVTranslationRealm(JSONMapping::createOrUpdateInRealm(tx, storeClassName(), record));
}

QVariantMap QVTranslationRealm::encodeWithCoder() const {
    QVariantMap coder;
    for (const auto &entry : kArchiveKeys) {
        const QString property = QString::fromLatin1(entry[1]);
        QVariant value = isLanguageProperty(property)
                             ? QVariant(QVLanguageRealm(link(property)).localeIdentifier())
                             : this->value(property);
        coder.insert(QString::fromLatin1(entry[0]), value);
    }
    return coder;
}

QVTranslationRealm QVTranslationRealm::initWithCoder(const QVariantMap &coder,
                                                     const platform::ObjectStore &store) {
    QVTranslationRealm record(Object::unmanaged(schema()));
    for (const auto &entry : kArchiveKeys) {
        const QString property = QString::fromLatin1(entry[1]);
        const QVariant value = coder.value(QString::fromLatin1(entry[0]));
        if (isLanguageProperty(property)) {
            const QString code = modelvalues::text(value);
            const Object language = code.isEmpty() || store.isNull()
                                        ? Object()
                                        : store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), code);
            if (!language.isNull())
                record.setValue(property, QVariant::fromValue(language));
        } else {
            modelvalues::trySet(record, nullptr, property, value);
        }
    }
    return record;
}

QByteArray QVTranslationRealm::archivedData() const {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kArchiveMagic << kArchiveVersion << encodeWithCoder();
    return data;
}

QVTranslationRealm QVTranslationRealm::unarchivedObject(const QByteArray &data,
                                                        const platform::ObjectStore &store) {
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint32 version = 0;
    QVariantMap coder;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kArchiveMagic || version != kArchiveVersion)
        return {};
    in >> coder;
    if (in.status() != QDataStream::Ok)
        return {};
    return initWithCoder(coder, store);
}
