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
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\" UserInfo=%4")
        .arg(error.domain())
        .arg(error.code())
        .arg(error.localizedDescription(), QString::fromUtf8(info));
}

} // namespace merovantia
