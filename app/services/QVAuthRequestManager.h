#pragma once

#include "platform/Error.h"

#include <QString>
#include <QVariant>

#include <functional>

// The account requests, through the backend client framework. Before each
// request the framework's "Authorization" header is set anew: "Bearer <token>"
// while an account token is stored, else the fixed "Basic" client credential.
// Replies store the signed-in user's profile (QVAuthProfile) and token
// (QVAuthService); "kUserDidChangedNotification" is posted after sign-in,
// registration and sign-out, before the caller's success block.
//
//   QVAuthRequestManager::loginWithEmail(email, password, "en",
//       [](const QVariant &data) { ... signed in ... },
//       [](const platform::Error &error) { ... still signed out ... });
//
// Blocks run on the main thread, exactly one per request; a failure may carry
// no error (a successful reply without "data").
class QVAuthRequestManager {
public:
    using DataSuccess = std::function<void(const QVariant &data)>;
    using Success = std::function<void()>;
    using Failure = std::function<void(const platform::Error &error)>;

    static constexpr const char *kPlatform = "macOS";
    static constexpr const char *kBasicCredential = "Basic Pq7vLm2XcR9tWz4YbN8sKd3HfJ6gTu1VaE5yQi0oMnB";
    static constexpr const char *kUserDidChangedNotification = "kUserDidChangedNotification";
    static constexpr const char *kParseLoginMessage = "parseLoginResponse:";

    static void setAuthorizationHeader();
    // The header value setAuthorizationHeader() would set now.
    static QString authorizationHeaderValue();

    // Sign-in and registration first forget the stored account.
    static void loginWithEmail(const QString &email, const QString &password, const QString &locale,
                               DataSuccess success, Failure failure);
    static void registerUserWithName(const QString &name, const QString &email, const QString &password,
                                     const QString &phoneNumber, const QString &role, const QString &locale,
                                     DataSuccess success, Failure failure);
    // On success the stored account is forgotten; on failure it stays.
    static void logoutSuccess(Success success, Failure failure);
    // Refreshes the stored profile from the reply (no notification).
    static void getUserSuccess(DataSuccess success, Failure failure);
    static void resetEmail(const QString &email, DataSuccess success, Failure failure);

    // Stores the profile (the reply itself while a token is stored, else its
    // "user") and a "bearerToken". A store failure is returned and reported.
    static platform::Error parseLoginResponse(const QVariant &data);
    // Deletes every stored profile and the token.
    static platform::Error clearUserInfo();

    QVAuthRequestManager() = delete;
};
