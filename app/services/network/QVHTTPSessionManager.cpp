#include "services/network/QVHTTPSessionManager.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/settings/QVTranslateSettings.h"

#include <QUrl>

#include <stdexcept>

namespace {

const char *const kGetSelector = "GET:parameters:progress:success:failure:";
const char *const kPostSelector = "POST:parameters:progress:success:failure:";
const char *const kMultipartSelector = "POST:parameters:constructingBodyWithBlock:progress:success:failure:";

// The query's item names in order, without their values.
QString queryKeys(const QString &query) {
    QStringList keys;
    for (const QString &item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts))
        keys << item.section(QLatin1Char('='), 0, 0);
    return keys.join(QLatin1Char('&'));
}

} // namespace

QVHTTPSessionManager::QVHTTPSessionManager(std::function<QUrl()> baseURL)
    : MFHTTPSessionManager(std::move(baseURL)) {}

QString QVHTTPSessionManager::installationIdentifier() const {
    // The identifier is cached by the settings record's class, not the record:
    // no store access and no keychain read once it is known.
    return QVTranslateSettings().uuid();
}

QVariantMap
QVHTTPSessionManager::parametersWithCommonParametersFromDictionary(const QVariantMap &parameters) const {
    QVariantMap common = parameters;
    const QString uuid = installationIdentifier();
    if (!uuid.isEmpty())
        common.insert(QString::fromLatin1(kUuidKey), uuid);
    common.insert(QString::fromLatin1(kPlatformKey), QString::fromLatin1(kPlatform));
    return common;
}

QString QVHTTPSessionManager::urlStringWithCommonQueryItemsWithURLString(const QString &urlString) const {
    const int hash = urlString.indexOf(QLatin1Char('#'));
    const QString fragment = hash >= 0 ? urlString.mid(hash) : QString();
    const QString withoutFragment = hash >= 0 ? urlString.left(hash) : urlString;
    const int mark = withoutFragment.indexOf(QLatin1Char('?'));
    const QString path = mark >= 0 ? withoutFragment.left(mark) : withoutFragment;
    QStringList items =
        mark >= 0 ? withoutFragment.mid(mark + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts) : QStringList();

    QList<QPair<QString, QString>> common = {
        {QString::fromLatin1(kPlatformKey), QString::fromLatin1(kPlatform)}};
    const QString uuid = installationIdentifier();
    if (!uuid.isEmpty())
        common.append({QString::fromLatin1(kUuidKey), uuid});
    for (const auto &[name, value] : common) {
        const QString item = encodedQuery({{name, value}});
        bool replaced = false;
        for (QString &existing : items) {
            if (existing.section(QLatin1Char('='), 0, 0) == name) {
                existing = item;
                replaced = true;
            }
        }
        if (!replaced)
            items << item;
    }
    return path + QLatin1Char('?') + items.join(QLatin1Char('&')) + fragment;
}

QString QVHTTPSessionManager::encodedQuery(const QList<QPair<QString, QString>> &items) {
    QStringList parts;
    for (const auto &[name, value] : items)
        parts << QString::fromLatin1(QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value));
    return parts.join(QLatin1Char('&'));
}

QString QVHTTPSessionManager::requestLogLine(const QString &urlString, const QVariant &parameters) {
    const int mark = urlString.indexOf(QLatin1Char('?'));
    QString target = mark >= 0 ? urlString.left(mark) : urlString;
    if (mark >= 0)
        target += QLatin1Char('?') + queryKeys(urlString.mid(mark + 1).section(QLatin1Char('#'), 0, 0));
    // QVariantMap keys come sorted, so the line does not depend on insertion order.
    const QString keys = QLatin1Char('(') +
                         QStringList(parameters.toMap().keys()).join(QStringLiteral(", ")) + QLatin1Char(')');
    return platform::format(QStringLiteral("### POST. URLString: '%@' | parameters: %@"), target, keys);
}

void QVHTTPSessionManager::logRequest(const QString &urlString, const QVariant &parameters) const {
    DevLogLine(requestLogLine(urlString, parameters));
}

MFHTTPSessionManager::Success QVHTTPSessionManager::guardedSuccess(Success success,
                                                                   const char *selector) const {
    if (!success)
        return {};
    return [success = std::move(success), selector](const MFURLSessionTaskPtr &task, const QVariant &object) {
        // One request, one block: a success block that throws is reported, and
        // the failure block is not called on top of it.
        try {
            success(task, object);
        } catch (const std::exception &exception) {
            DevLogger::logException(exception, QString::fromLatin1(selector));
        } catch (...) {
            DevLogger::logException(std::runtime_error("unknown exception"), QString::fromLatin1(selector));
        }
    };
}

MFURLSessionTaskPtr QVHTTPSessionManager::GET(const QString &urlString, const QVariant &parameters,
                                              Success success, Failure failure) {
    return GET(urlString, parameters, Progress(), std::move(success), std::move(failure));
}

MFURLSessionTaskPtr QVHTTPSessionManager::GET(const QString &urlString, const QVariant &parameters,
                                              Progress progress, Success success, Failure failure) {
    if (parameters.isValid())
        logRequest(urlString, parametersWithCommonParametersFromDictionary(parameters.toMap()));
    else
        logRequest(urlStringWithCommonQueryItemsWithURLString(urlString), QVariantMap());
    return MFHTTPSessionManager::GET(urlString, parameters, std::move(progress),
                                     guardedSuccess(std::move(success), kGetSelector), std::move(failure));
}

MFURLSessionTaskPtr QVHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               Success success, Failure failure) {
    return POST(urlString, parameters, Progress(), std::move(success), std::move(failure));
}

MFURLSessionTaskPtr QVHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               Progress progress, Success success, Failure failure) {
    logRequest(urlString, parametersWithCommonParametersFromDictionary(parameters.toMap()));
    return MFHTTPSessionManager::POST(urlString, parameters, std::move(progress),
                                      guardedSuccess(std::move(success), kPostSelector), std::move(failure));
}

MFURLSessionTaskPtr QVHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               ConstructingBody block, Success success, Failure failure) {
    return POST(urlString, parameters, std::move(block), Progress(), std::move(success), std::move(failure));
}

MFURLSessionTaskPtr QVHTTPSessionManager::POST(const QString &urlString, const QVariant &parameters,
                                               ConstructingBody block, Progress progress, Success success,
                                               Failure failure) {
    logRequest(urlString, parametersWithCommonParametersFromDictionary(parameters.toMap()));
    return MFHTTPSessionManager::POST(urlString, parameters, std::move(block), std::move(progress),
                                      guardedSuccess(std::move(success), kMultipartSelector),
                                      std::move(failure));
}
