#include "core/models/QVLanguagePackageRealm.h"

#include "core/localization/QVLocalizedString.h"
#include "core/models/ModelValues.h"
#include "core/models/QVPackageFolders.h"

#include "platform/BackendConfig.h"

using platform::PropertyType;

namespace {

// Our platform's entry of the product's platform list; the mobile model kind
// is the one it leaves out.
constexpr const char *kLeftOutType = "opennmt-mobile";
constexpr const char *kObjectRecognitionType = "parseImageObjectIOS";

QString staticFilesBase() {
    QString base = platform::BackendConfig::apiHost().toString(QUrl::StripTrailingSlash);
    return base + QStringLiteral("/v2/");
}

} // namespace

platform::ObjectSchema QVLanguagePackageRealm::schema() {
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::String)
        .property(QStringLiteral("languageCode"), PropertyType::String)
        .property(QStringLiteral("localName"), PropertyType::String)
        .property(QStringLiteral("compressedSize"), PropertyType::String)
        .property(QStringLiteral("packageSize"), PropertyType::Float)
        .property(QStringLiteral("type"), PropertyType::String)
        .property(QStringLiteral("updateCompressedSize"), PropertyType::String)
        .property(QStringLiteral("updateSize"), PropertyType::Float)
        .property(QStringLiteral("updateUrl"), PropertyType::String)
        .property(QStringLiteral("version"), PropertyType::String)
        .property(QStringLiteral("isDownloaded"), PropertyType::Bool, false)
        .indexed(QStringLiteral("languageCode"))
        .indexed(QStringLiteral("localName"));
}

QVariantMap QVLanguagePackageRealm::JSONInboundMappingDictionary() {
    QVariantMap table = {
        {QStringLiteral("lang"), QStringLiteral("languageCode")},
        {QStringLiteral("local_lang"), QStringLiteral("localName")},
        {QStringLiteral("size"), QStringLiteral("packageSize")},
        {QStringLiteral("url"), QStringLiteral("packageUrl")},
    };
    for (const char *key :
         {"compressedSize", "type", "updateCompressedSize", "updateSize", "updateUrl", "version"})
        table.insert(QString::fromLatin1(key), QString::fromLatin1(key));
    return table;
}

std::optional<QVariantMap> QVLanguagePackageRealm::preprocessedJSON(const QVariantMap &json) {
    const QString type = modelvalues::text(json.value(QStringLiteral("type")));
    if (type == QLatin1String(kLeftOutType))
        return std::nullopt;

    const QVariantMap model = json.value(QStringLiteral("model")).toMap();
    const QString modelUrl = modelvalues::text(model.value(QStringLiteral("url")));
    // Without an archive path every such item would share one address.
    if (modelUrl.isEmpty())
        return std::nullopt;

    QVariantMap item = json;
    item.insert(QStringLiteral("size"),
                QVPackageFolders::megabytesFromBytes(model.value(QStringLiteral("size")).toDouble()));
    item.insert(QStringLiteral("url"), staticFilesBase() + QStringLiteral("static/") + modelUrl);
    if (json.contains(QStringLiteral("compressedSize")))
        item.insert(QStringLiteral("compressedSize"),
                    modelvalues::text(json.value(QStringLiteral("compressedSize"))));

    const QVariant update = json.value(QStringLiteral("update"));
    if (update.isValid() && !update.isNull() && update.canConvert<QVariantMap>()) {
        const QVariantMap fields = update.toMap();
        item.insert(QStringLiteral("updateCompressedSize"),
                    modelvalues::text(fields.value(QStringLiteral("compressedSize"))));
        // In megabytes like the package's own size, so both read alike.
        item.insert(QStringLiteral("updateSize"),
                    QVPackageFolders::megabytesFromBytes(fields.value(QStringLiteral("size")).toDouble()));
        item.insert(QStringLiteral("updateUrl"), fields.value(QStringLiteral("url")));
    }

    if (type == QLatin1String(kObjectRecognitionType))
        return json.value(QStringLiteral("lang")).toString() == QLatin1String("en") ? item : QVariantMap();
    return item;
}

platform::Results QVLanguagePackageRealm::owners() const {
    return linkingObjects(QStringLiteral("QVPackagesRealm"), QStringLiteral("packages"));
}

QString QVLanguagePackageRealm::formatPackageSize() const {
    return QVPackageFolders::formatMegabytes(packageSize());
}

QString QVLanguagePackageRealm::formatUpdateSize() const {
    const std::optional<float> size = updateSize();
    return size ? QVPackageFolders::formatMegabytes(*size) : QString();
}

uint QVLanguagePackageRealm::formatType() const {
    return formatTypeForType(type());
}

uint QVLanguagePackageRealm::formatTypeForType(const QString &type) {
    static const QHash<QString, uint> types = {
        {QStringLiteral("mtplz"), Mtplz},
        {QStringLiteral("opennmt-desktop"), OpennmtDesktop},
        {QStringLiteral("opennmt-mobile"), OpennmtMobile},
        {QStringLiteral("tesseract"), Tesseract},
        {QStringLiteral("wordnet"), Wordnet},
    };
    return types.value(type, Unknown);
}

QString QVLanguagePackageRealm::formattedName() const {
    const QString kind = type();
    if (kind == QLatin1String("tesseract"))
        return QVLocalizedString(QStringLiteral("_loc_image_translation"));
    if (kind == QLatin1String("opennmt") || kind == QLatin1String("opennmt-desktop") ||
        kind == QLatin1String("opennmt-mobile"))
        return QVLocalizedString(QStringLiteral("_loc_text_translation"));
    if (kind == QLatin1String("wordnet"))
        return QVLocalizedString(QStringLiteral("_loc_dictionary"));
    if (kind == QLatin1String(kObjectRecognitionType))
        return QVLocalizedString(QStringLiteral("_loc_object_translation"));
    return kind;
}
