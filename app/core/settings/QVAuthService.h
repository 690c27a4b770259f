#pragma once

#include "core/models/QVAuthProfile.h"

#include "platform/Error.h"

#include <QString>

#include <optional>

// The signed-in user's account token (kept in the user defaults) and questions
// about the stored profile. Main thread only.
class QVAuthService {
public:
    static constexpr const char *kUserDefaultsTokenKey = "kUserDefaultsTokenKey";

    // Stores the token and writes the defaults out; a null or empty token
    // removes it (an empty token cannot authorise anything).
    static void setAuthToken(const QString &token);
    // The stored token, or an empty string when nobody is signed in.
    static QString authToken();
    static void clearAuthToken();

    // The first stored profile, or null.
    static QVAuthProfile authProfile();
    static std::optional<qint64> userId();
    static QString userName(); // empty without a profile
    static QString userEmail();
    // Changes the stored profile's flag (joining an open write transaction);
    // without a profile nothing changes.
    static platform::Error setIsSubscribedToNews(bool subscribed);

    QVAuthService() = delete;
};
