#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

#include <optional>

// One downloadable package of the backend's catalogue, keyed by its download
// address. `isDownloaded` turns true once the archive has been unpacked; a
// catalogue refresh updates the other fields and keeps it.
class QVLanguagePackageRealm : public platform::Object {
public:
    QV_STORE_MODEL(QVLanguagePackageRealm)
    static platform::ObjectSchema schema();
    static QString primaryKey() { return QStringLiteral("packageUrl"); }
    static QVariantMap JSONInboundMappingDictionary();
    // Reshapes one catalogue item for the inbound table: sizes in megabytes,
    // the full archive address, the update fields. Nothing for items this
    // platform does not use or that name no archive.
    static std::optional<QVariantMap> preprocessedJSON(const QVariantMap &json);

    // Kinds of package, as formatType() numbers them.
    enum FormatType : uint {
        Unknown = 0,
        Mtplz = 1,
        OpennmtDesktop = 2,
        OpennmtMobile = 3,
        Tesseract = 4,
        Wordnet = 5
    };

    QV_STORE_PROPERTY(QString, languageCode, setLanguageCode)
    QV_STORE_PROPERTY(QString, localName, setLocalName)
    QV_STORE_PROPERTY(QString, compressedSize, setCompressedSize)
    QV_STORE_PROPERTY(float, packageSize, setPackageSize) // megabytes
    QV_STORE_PROPERTY(QString, packageUrl, setPackageUrl)
    QV_STORE_PROPERTY(QString, type, setType)
    QV_STORE_PROPERTY(QString, updateCompressedSize, setUpdateCompressedSize)
    QV_STORE_PROPERTY(std::optional<float>, updateSize, setUpdateSize) // megabytes
    QV_STORE_PROPERTY(QString, updateUrl, setUpdateUrl)
    QV_STORE_PROPERTY(QString, version, setVersion)
    QV_STORE_PROPERTY(bool, isDownloaded, setIsDownloaded)

    // The QVPackagesRealm records whose packages list holds this package.
    platform::Results owners() const;

    QString formatPackageSize() const; // "%dmb"
    QString formatUpdateSize() const;  // "%dmb" of the update; empty without one
    uint formatType() const;
    static uint formatTypeForType(const QString &type);
    QString formattedName() const; // the kind's interface name
};
