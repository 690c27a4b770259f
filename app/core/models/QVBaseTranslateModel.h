#pragma once

#include "core/models/QVLanguageRealm.h"

#include "platform/store/Store.h"

#include <QDateTime>

// One stored translation: language pair, texts, favourite flag, creation time.
// The primary key "idTranslation" is normally the creation time in whole
// seconds since the reference date (2001-01-01 00:00 UTC), or the backend's
// favourite id.
class QVBaseTranslateModel : public platform::Object {
public:
    QV_STORE_MODEL(QVBaseTranslateModel)
    static platform::ObjectSchema schema();
    static QString primaryKey() { return QStringLiteral("idTranslation"); }

    QV_STORE_PROPERTY(std::optional<qint64>, idTranslation, setIdTranslation)
    QV_STORE_PROPERTY(QVLanguageRealm, languageFrom, setLanguageFrom)
    QV_STORE_PROPERTY(QVLanguageRealm, languageTo, setLanguageTo)
    QV_STORE_PROPERTY(QString, originalText, setOriginalText)
    QV_STORE_PROPERTY(QString, translatedText, setTranslatedText)
    QV_STORE_PROPERTY(std::optional<bool>, isFavorite, setIsFavorite)
    QV_STORE_PROPERTY(QString, detectedLanguage, setDetectedLanguage)
    QV_STORE_PROPERTY(QString, translatedBy, setTranslatedBy)
    QV_STORE_PROPERTY(std::optional<double>, createdDate, setCreatedDate)

    // 2001-01-01 00:00 UTC in Unix seconds.
    static constexpr qint64 kReferenceDateUnixSeconds = 978307200;
    static double timeIntervalSinceReferenceDate(const QDateTime &date);
    // Whole seconds since the reference date (rounded down): the usual identifier.
    static qint64 identifierForDate(const QDateTime &date);
    static QDateTime dateForTimeIntervalSinceReferenceDate(double seconds);

protected:
    // The base's properties, for a subclass schema to inherit.
    static platform::ObjectSchema baseSchema(const QString &className);
};
