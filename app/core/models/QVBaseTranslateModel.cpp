#include "core/models/QVBaseTranslateModel.h"

#include <cmath>

using platform::PropertyType;

platform::ObjectSchema QVBaseTranslateModel::baseSchema(const QString &className) {
    return platform::ObjectSchema(className)
        .primaryKey(primaryKey(), PropertyType::Int)
        .link(QStringLiteral("languageFrom"), QVLanguageRealm::storeClassName())
        .link(QStringLiteral("languageTo"), QVLanguageRealm::storeClassName())
        .property(QStringLiteral("originalText"), PropertyType::String)
        .property(QStringLiteral("translatedText"), PropertyType::String)
        .property(QStringLiteral("isFavorite"), PropertyType::Bool)
        .property(QStringLiteral("detectedLanguage"), PropertyType::String)
        .property(QStringLiteral("translatedBy"), PropertyType::String)
        .property(QStringLiteral("createdDate"), PropertyType::Double)
        .indexed(QStringLiteral("createdDate")) // the history lists newest first
        .searchable(QStringLiteral("originalText"))
        .searchable(QStringLiteral("translatedText"));
}

platform::ObjectSchema QVBaseTranslateModel::schema() {
    return baseSchema(storeClassName());
}

double QVBaseTranslateModel::timeIntervalSinceReferenceDate(const QDateTime &date) {
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0 -
           static_cast<double>(kReferenceDateUnixSeconds);
}

qint64 QVBaseTranslateModel::identifierForDate(const QDateTime &date) {
    return static_cast<qint64>(std::floor(timeIntervalSinceReferenceDate(date)));
}

QDateTime QVBaseTranslateModel::dateForTimeIntervalSinceReferenceDate(double seconds) {
    const double msecs = (seconds + static_cast<double>(kReferenceDateUnixSeconds)) * 1000.0;
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(msecs)), Qt::UTC);
}
