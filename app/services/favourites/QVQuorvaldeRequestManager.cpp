#include "services/favourites/QVQuorvaldeRequestManager.h"

#include "core/settings/QVAuthService.h"
#include "services/messages/JSONModelValues.h"
#include "services/network/QVJSONResponseSerializer.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "core/history/QVTranslationService.h"
#include "services/languages/QVLanguageService.h"
#include "core/mapping/JSONMapping.h"

#include "platform/BackendConfig.h"
#include "platform/MainQueue.h"

#include <QDateTime>
#include <QSet>

#include <stdexcept>

namespace {

const QString kData = QString::fromLatin1(QVQuorvaldeRequestManager::kDataKey);

platform::Error clientError(QVQuorvaldeRequestManager::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVQuorvaldeRequestManager::kErrorDomain), code, description);
}

// "data"."result" of a bulk reply; a JSON null (or anything absent) is false.
bool resultOf(const QVariant &reply) {
    const QVariant result = reply.toMap().value(kData).toMap().value(QStringLiteral("result"));
    if (result.isNull() || !result.isValid())
        return false;
    return result.toBool();
}

QString joinedIds(const QList<qint64> &ids) {
    QStringList texts;
    for (const qint64 id : ids)
        texts << QString::number(id);
    return texts.join(QStringLiteral(", "));
}

// Why a translation cannot be sent as a favourite; empty when it can.
QString unsendable(const QVTranslationRealm &translation) {
    if (translation.isNull() || (translation.isManaged() && !translation.isValid()))
        return QStringLiteral("no translation");
    if (translation.originalText().isNull() || translation.translatedText().isNull())
        return QStringLiteral("a text is missing");
    if (translation.languageFrom().isNull() || translation.languageTo().isNull() ||
        translation.languageFrom().localeIdentifier().isEmpty() ||
        translation.languageTo().localeIdentifier().isEmpty())
        return QStringLiteral("a language is missing");
    if (!translation.createdDate())
        return QStringLiteral("the creation time is missing");
    return {};
}

} // namespace

QVQuorvaldeRequestManager &QVQuorvaldeRequestManager::instance() {
    static QVQuorvaldeRequestManager *manager = new QVQuorvaldeRequestManager; // lives for the whole process
    return *manager;
}

QVQuorvaldeRequestManager::QVQuorvaldeRequestManager()
    : QVHTTPSessionManager(&QVQuorvaldeRequestManager::accountBaseURL) {
    setValueForHTTPHeaderField("application/json", "Content-Type");
    setValueForHTTPHeaderField("application/json", "Accept");
    setTimeoutInterval(kTimeoutMs);
    setResourceTimeoutInterval(kTimeoutMs);
    setDefaultResponseSerializer();
    setAuthorizationHeader();
}

QUrl QVQuorvaldeRequestManager::accountBaseURL() {
    QUrl url = platform::BackendConfig::accountHost();
    url.setPath(url.path() + QString::fromLatin1(kAPIPath));
    return url;
}

void QVQuorvaldeRequestManager::setDefaultResponseSerializer() {
    setResponseSerializer(
        std::make_shared<MFCompoundResponseSerializer>(QList<std::shared_ptr<const MFResponseSerializer>>{
            std::make_shared<QVJSONResponseSerializer>(),
            std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{"text/html"}),
        }));
}

void QVQuorvaldeRequestManager::setHttpResponseSerializer() {
    setResponseSerializer(std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{"text/html"}));
}

void QVQuorvaldeRequestManager::setAuthorizationHeader() {
    removeHTTPHeaderField("Authorization");
    const QString token = QVAuthService::authToken();
    setValueForHTTPHeaderField(token.isEmpty() ? QByteArray(kClientCredential) : "Bearer " + token.toUtf8(),
                               "Authorization");
}

MFHTTPSessionManager::Failure QVQuorvaldeRequestManager::failureHandler(ErrorBlock failure) {
    return [failure = std::move(failure)](const MFURLSessionTaskPtr &, const platform::Error &error) {
        if (failure)
            failure(error);
    };
}

MFURLSessionTaskPtr QVQuorvaldeRequestManager::failWithoutRequest(const ErrorBlock &failure,
                                                                  const platform::Error &error) {
    platform::dispatchAsyncMain([failure, error] {
        if (failure)
            failure(error);
    });
    return nullptr;
}

// ---- Download ---------------------------------------------------------------

platform::Error QVQuorvaldeRequestManager::storeFavorite(const QVariantMap &favorite, double createdDate) {
    const std::optional<qint64> id = jsonmodel::wholeNumber(favorite.value(QStringLiteral("id")));
    const QVariant textFrom = favorite.value(QStringLiteral("textFrom"));
    const QVariant textTo = favorite.value(QStringLiteral("textTo"));
    if (!id || textFrom.typeId() != QMetaType::QString || textTo.typeId() != QMetaType::QString)
        return platform::Error(QString::fromLatin1(QVDataManager::kErrorDomain), QVDataManager::InvalidRecord,
                               QStringLiteral("A favourite needs its id and both texts"));
    const QString fromIdentifier = jsonmodel::string(favorite.value(QStringLiteral("languageFrom")));
    const QString toIdentifier = jsonmodel::string(favorite.value(QStringLiteral("languageTo")));
    const QVLanguageRealm from = QVLanguageService::languageForLocaleIdentifier(fromIdentifier);
    const QVLanguageRealm to = QVLanguageService::languageForLocaleIdentifier(toIdentifier);
    if (from.isNull() || to.isNull())
        return platform::Error(QString::fromLatin1(QVDataManager::kErrorDomain),
                               QVDataManager::NotInCatalogue,
                               QStringLiteral("A favourite names a language the catalogue lacks"));

    platform::Error error;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&error);
    if (store.isNull())
        return error;
    platform::Error refused;
    const platform::Error written = safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
        // The backend's id may already name an unrelated local translation: that one is kept.
        const QVTranslationRealm holder(
            tx.store().objectForPrimaryKey(QVTranslationRealm::storeClassName(), *id));
        if (!holder.isNull() &&
            (holder.languageFrom().localeIdentifier() != fromIdentifier ||
             holder.languageTo().localeIdentifier() != toIdentifier ||
             holder.originalText() != textFrom.toString() || holder.translatedText() != textTo.toString())) {
            refused = platform::Error(
                QString::fromLatin1(QVDataManager::kErrorDomain), QVDataManager::IdentifierTaken,
                QStringLiteral("Translation id %1 belongs to another translation").arg(*id));
            return;
        }
        // Found before the save, which may itself be the equal translation found afterwards.
        QVTranslationRealm equal;
        if (QVTranslationService::isTranslationFavoriteObjectExistWithDictionary(favorite))
            equal = QVTranslationService::translationRealmCoincidentWithDictionary(favorite);
        refused = QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
            QVDataManager::TranslationId::backend(*id), 1, from, to, true, textFrom.toString(),
            textTo.toString(), QString(), QString(), createdDate);
        // Removed only once the favourite is stored, so a refused save loses nothing.
        if (!refused && !equal.isNull() && equal.isValid() && equal.idTranslation() != id)
            refused = QVDataManager::sharedInstance().removeObjectFromHistory(equal);
    });
    return refused ? refused : written;
}

MFURLSessionTaskPtr QVQuorvaldeRequestManager::getFavoritesWithLimit(qint64 limit, qint64 lastItemTime,
                                                                     DoneBlock success, ErrorBlock failure) {
    setAuthorizationHeader();
    const QString urlString = QStringLiteral("user/favorites?") +
                              encodedQuery({{QStringLiteral("limit"), QString::number(limit)},
                                            {QStringLiteral("time"), QString::number(lastItemTime)}});
    return GET(
        urlString, QVariant(),
        [success = std::move(success)](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const QVariant data = reply.toMap().value(kData);
            const QVariantList favorites = data.toMap().value(QStringLiteral("favorites")).toList();
            QList<qint64> stored;
            QList<qint64> skipped;
            if (data.typeId() == QMetaType::QVariantMap) {
                const double now =
                    QVBaseTranslateModel::timeIntervalSinceReferenceDate(QDateTime::currentDateTimeUtc());
                for (const QVariant &element : favorites) {
                    const QVariantMap favorite = element.toMap();
                    const qint64 id =
                        jsonmodel::wholeNumber(favorite.value(QStringLiteral("id"))).value_or(-1);
                    const platform::Error error = storeFavorite(favorite, now);
                    (error ? skipped : stored).append(id);
                    if (error)
                        DevLog(QStringLiteral("favourite %@ not stored: %@"), id,
                               error.localizedDescription());
                }
            }
            // Identifiers only: the favourites are the user's texts.
            DevLog(QStringLiteral("GET FAVOURITES: %@"),
                   QStringLiteral("%1 received, %2 stored (%3), %4 skipped (%5)")
                       .arg(favorites.size())
                       .arg(stored.size())
                       .arg(joinedIds(stored))
                       .arg(skipped.size())
                       .arg(joinedIds(skipped)));
            if (success)
                success();
        },
        failureHandler(std::move(failure)));
}

// ---- Upload and delete --------------------------------------------------------

MFURLSessionTaskPtr
QVQuorvaldeRequestManager::addFavoriteTranslationObject(const QVTranslationRealm &translation,
                                                        RecordSuccess success, ErrorBlock failure) {
    setAuthorizationHeader();
    const QString problem = unsendable(translation);
    if (!problem.isEmpty()) {
        DevLogger::logException(std::invalid_argument(problem.toStdString()),
                                QString::fromLatin1(kBuildFailedMessage));
        return failWithoutRequest(
            failure,
            clientError(RequestNotBuilt, QStringLiteral("The favourite cannot be sent: %1").arg(problem)));
    }
    const QVariantMap body{
        {QStringLiteral("time"), *translation.createdDate()},
        {QStringLiteral("textFrom"), translation.originalText()},
        {QStringLiteral("textTo"), translation.translatedText()},
        {QStringLiteral("languageFrom"), translation.languageFrom().localeIdentifier()},
        {QStringLiteral("languageTo"), translation.languageTo().localeIdentifier()},
    };
    return POST(
        QStringLiteral("user/favorite"), body,
        [translation, success, failure](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const bool empty = !reply.isValid() || reply.isNull() ||
                               (reply.typeId() == QMetaType::QVariantMap && reply.toMap().isEmpty()) ||
                               (reply.typeId() == QMetaType::QByteArray && reply.toByteArray().isEmpty());
            if (empty) {
                if (success)
                    success(translation);
                return;
            }
            const std::optional<qint64> id =
                jsonmodel::wholeNumber(reply.toMap().value(kData).toMap().value(QStringLiteral("id")));
            if (!id) {
                if (failure)
                    failure(clientError(BadReply, QStringLiteral("The reply names no favourite")));
                return;
            }
            QVTranslationRealm stored;
            const platform::Error error = QVDataManager::sharedInstance().updateTranslationRealm(
                translation, *id, [&stored](const QVTranslationRealm &record) { stored = record; });
            if (error) {
                DevLog(QStringLiteral("favourite %@ not stored: %@"), *id, error.localizedDescription());
                if (failure)
                    failure(error);
            } else if (success) {
                success(stored);
            }
        },
        failureHandler(failure));
}

MFURLSessionTaskPtr
QVQuorvaldeRequestManager::deleteFavoriteTranslationObject(const QVTranslationRealm &translation,
                                                           ReplySuccess success, ErrorBlock failure) {
    const std::optional<qint64> id =
        translation.isNull() || (translation.isManaged() && !translation.isValid())
            ? std::nullopt
            : translation.idTranslation();
    if (!id)
        return failWithoutRequest(failure,
                                  clientError(RequestNotBuilt, QStringLiteral("The favourite has no id")));
    return deleteFavoriteTranslationById(QString::number(*id), std::move(success), std::move(failure));
}

MFURLSessionTaskPtr QVQuorvaldeRequestManager::deleteFavoriteTranslationById(const QString &identifier,
                                                                             ReplySuccess success,
                                                                             ErrorBlock failure) {
    // An empty or dot segment would resolve to "user/favorite/" (every favourite) or the folder above.
    const QString segment = identifier.trimmed();
    if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
        return failWithoutRequest(failure,
                                  clientError(RequestNotBuilt, QStringLiteral("The favourite has no id")));
    setAuthorizationHeader();
    DevLog(QStringLiteral("DELETE FAVOURITE AT: %@"), identifier);
    // The identifier is one path segment, whatever it holds.
    const QString path =
        QStringLiteral("user/favorite/") + QString::fromLatin1(QUrl::toPercentEncoding(identifier));
    return DELETE(
        path, QVariant(),
        [success = std::move(success)](const MFURLSessionTaskPtr &, const QVariant &reply) {
            if (success)
                success(reply);
        },
        failureHandler(std::move(failure)));
}

MFURLSessionTaskPtr QVQuorvaldeRequestManager::deleteAllFavoriteWithSuccess(BoolSuccess success,
                                                                            ErrorBlock failure) {
    setAuthorizationHeader();
    return DELETE(
        QStringLiteral("user/favorite"), QVariant(),
        [success = std::move(success)](const MFURLSessionTaskPtr &, const QVariant &reply) {
            if (success)
                success(resultOf(reply));
        },
        failureHandler(std::move(failure)));
}

MFURLSessionTaskPtr QVQuorvaldeRequestManager::synchFavourites(const QList<QVTranslationRealm> &translations,
                                                               BoolSuccess success, ErrorBlock failure) {
    setAuthorizationHeader();
    QList<QVTranslationRealm> pending = translations;
    if (pending.isEmpty()) {
        const platform::ObjectStore store = platform::ObjectStore::defaultStore();
        if (!store.isNull()) {
            const auto favourites = store.objects(QVTranslationRealm::storeClassName())
                                        .filter(platform::Key(QStringLiteral("isFavorite")) == true)
                                        .toList<QVTranslationRealm>();
            for (const QVTranslationRealm &favourite : favourites) {
                if (!favourite.isSynch().value_or(false))
                    pending.append(favourite);
            }
        }
    }
    QList<qint64> ids;
    QVariantList data;
    for (const QVTranslationRealm &translation : std::as_const(pending)) {
        if (translation.isNull() || (translation.isManaged() && !translation.isValid()))
            continue;
        ids << translation.idTranslation().value_or(0);
        data << QVariantMap{
            {QStringLiteral("time"), qint64(translation.createdDate().value_or(0))},
            {QStringLiteral("textFrom"),
             translation.originalText().isNull() ? QString(QLatin1String("")) : translation.originalText()},
            {QStringLiteral("textTo"), translation.translatedText().isNull() ? QString(QLatin1String(""))
                                                                             : translation.translatedText()},
            {QStringLiteral("languageFrom"), translation.languageFrom().isNull()
                                                 ? QString(QLatin1String(""))
                                                 : translation.languageFrom().localeIdentifier()},
            {QStringLiteral("languageTo"), translation.languageTo().isNull()
                                               ? QString(QLatin1String(""))
                                               : translation.languageTo().localeIdentifier()},
        };
    }
    DevLog(QStringLiteral("NOT SYNCH %@"), QStringLiteral("%1 (%2)").arg(ids.size()).arg(joinedIds(ids)));
    if (data.isEmpty()) {
        platform::dispatchAsyncMain([success] {
            if (success)
                success(true);
        });
        return nullptr;
    }
    return POST(
        QStringLiteral("user/multipleFavorites"), QVariantMap{{QStringLiteral("favoritesData"), data}},
        [success = std::move(success)](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const bool result = resultOf(reply);
            DevLog(QStringLiteral("RES %@"), QStringLiteral("result %1").arg(result ? 1 : 0));
            if (success)
                success(result);
        },
        failureHandler(std::move(failure)));
}
