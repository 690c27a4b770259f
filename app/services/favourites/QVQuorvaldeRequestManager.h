#pragma once

#include "services/network/QVHTTPSessionManager.h"

#include "core/models/QVTranslationRealm.h"

#include "platform/Error.h"

#include <QList>
#include <QUrl>
#include <QVariant>

#include <functional>

// The favourites client: the account's favourite translations kept in step
// with the local history. JSON on the account host under "/v2/api/" (read from
// platform::BackendConfig at every request), 15 s, replies under "data".
//
//   auto &favourites = QVQuorvaldeRequestManager::instance();
//   favourites.getFavoritesWithLimit(1000, 0, [] { ... stored ... }, [](const platform::Error &) {});
//   favourites.addFavoriteTranslationObject(record,
//       [](const QVTranslationRealm &stored) { ... now under the backend's id ... }, {});
//   favourites.deleteFavoriteTranslationObject(stored, {}, {});
//
// "Authorization" is set again before every request: "Bearer " and the account
// token when one is stored, else the fixed client credential, so a sign-in or
// sign-out takes effect at the next request. Blocks are optional; when given,
// exactly one of a request's two runs, on the main thread. Diagnostic lines
// carry counts and identifiers, never the translations' texts.
class QVQuorvaldeRequestManager : public QVHTTPSessionManager {
public:
    using ErrorBlock = std::function<void(const platform::Error &error)>;
    using DoneBlock = std::function<void()>;
    using RecordSuccess = std::function<void(const QVTranslationRealm &stored)>;
    using ReplySuccess = std::function<void(const QVariant &reply)>;
    using BoolSuccess = std::function<void(bool result)>;

    static constexpr const char *kAPIPath = "/v2/api/";
    static constexpr int kTimeoutMs = 15000;
    static constexpr const char *kClientCredential = "Basic Pq7vLm2XcR9tWz4YbN8sKd3HfJ6gTu1VaE5yQi0oMnB";
    static constexpr const char *kBuildFailedMessage =
        "QVQuorvaldeRequestManager: parameters dict null value crash handled";
    static constexpr const char *kDataKey = "data";

    static constexpr const char *kErrorDomain = "QVQuorvaldeRequestManager";
    enum ErrorCode {
        RequestNotBuilt = 1, // the translation lacks a text, a language or its identifier
        BadReply = 2,        // a reply without the identifier of the new favourite
    };

    static QVQuorvaldeRequestManager &instance();
    // A client of its own (tests); the application uses instance().
    QVQuorvaldeRequestManager();

    // scheme://account-host/v2/api/
    static QUrl accountBaseURL();
    // The general API's compound serializer (set at creation).
    void setDefaultResponseSerializer();
    void setHttpResponseSerializer();
    void setAuthorizationHeader();

    // GET "user/favorites?limit=&time=" (then "platform" and "uuid"): every
    // favourite of "data"."favorites" is stored under its own id (see
    // storeFavorite); success also when "data" holds no list.
    MFURLSessionTaskPtr getFavoritesWithLimit(qint64 limit, qint64 lastItemTime, DoneBlock success,
                                              ErrorBlock failure);
    // POST "user/favorite"; the record is then re-keyed under "data"."id"
    // (QVDataManager::updateTranslationRealm) and success gets the stored record,
    // or the record as given when the reply is empty. A record that cannot be
    // sent fails with RequestNotBuilt and sends nothing.
    MFURLSessionTaskPtr addFavoriteTranslationObject(const QVTranslationRealm &translation,
                                                     RecordSuccess success, ErrorBlock failure);
    MFURLSessionTaskPtr deleteFavoriteTranslationObject(const QVTranslationRealm &translation,
                                                        ReplySuccess success, ErrorBlock failure);
    // DELETE "user/favorite/<id>", without "platform" and "uuid". An empty, "." or
    // ".." identifier fails with RequestNotBuilt and sends nothing.
    MFURLSessionTaskPtr deleteFavoriteTranslationById(const QString &identifier, ReplySuccess success,
                                                      ErrorBlock failure);
    // DELETE "user/favorite": "data"."result" (false when null).
    MFURLSessionTaskPtr deleteAllFavoriteWithSuccess(BoolSuccess success, ErrorBlock failure);
    // POST "user/multipleFavorites" {"favoritesData": [...]}: the given
    // translations, or when none are given every stored favourite not yet
    // synchronised. Nothing to send: success(true) and no request.
    MFURLSessionTaskPtr synchFavourites(const QList<QVTranslationRealm> &translations, BoolSuccess success,
                                        ErrorBlock failure);

    // Stores one downloaded favourite under the backend's id, in one write
    // transaction: an equal stored translation is replaced by it, and so is an
    // older favourite under the same id (the account's own copy); a different
    // translation that is not a favourite and already holds the id is left
    // alone and the favourite is skipped; so is a favourite that lacks a field or names a language the
    // catalogue does not have. The error says why a favourite was not stored.
    static platform::Error storeFavorite(const QVariantMap &favorite, double createdDate);

private:
    static Failure failureHandler(ErrorBlock failure);
    static MFURLSessionTaskPtr failWithoutRequest(const ErrorBlock &failure, const platform::Error &error);
};
