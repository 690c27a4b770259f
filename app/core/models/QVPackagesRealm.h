#pragma once

#include "core/models/QVLanguagePackageRealm.h"

#include <QList>

// The packages of one language, keyed by its two-letter code.
class QVPackagesRealm : public platform::Object {
public:
    QV_STORE_MODEL(QVPackagesRealm)
    static platform::ObjectSchema schema();
    static QString primaryKey() { return QStringLiteral("languageCode"); }

    QV_STORE_PROPERTY(QString, languageCode, setLanguageCode)
    QV_STORE_PROPERTY(QString, localName, setLocalName)
    QV_STORE_PROPERTY(QString, imageUrl, setImageUrl)
    QV_STORE_LIST(packages)

    // Sum of the packages' sizes in megabytes (0 without packages).
    float packageSize() const;
    QString formatPackageSize() const; // "%dmb" of the sum
    QList<uint> formatTypes() const;   // the packages' formatType(), in list order

    // Sorted by local name, ascending.
    static platform::Results allSorted();
    static platform::Results allSorted(const platform::ObjectStore &store);
    struct SortDescriptor {
        QString key;
        bool ascending;
    };
    static QList<SortDescriptor> sortDescriptors();
};
