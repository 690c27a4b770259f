#include "MFLog.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace merovantia {

void logCaught(const char *method, const QString &what) {
    qWarning("%s %s", method, qPrintable(what));
}

QString describe(const platform::Error &error) {
    if (error.isNull())
        return QStringLiteral("(null)");
    const QByteArray info =
        QJsonDocument(QJsonObject::fromVariantMap(error.userInfo())).toJson(QJsonDocument::Compact);
    // Concatenated, not QString::arg: a domain or description may itself hold "%2".
    return QStringLiteral("Error Domain=") + error.domain() + QStringLiteral(" Code=") +
           QString::number(error.code()) + QStringLiteral(" \"") + error.localizedDescription() +
           QStringLiteral("\" UserInfo=") + QString::fromUtf8(info);
}

} // namespace merovantia
