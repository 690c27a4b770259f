#pragma once

#include <QString>

namespace platform {
class UserDefaults;
}

// Interface utilities the services and core call too.
class QVMUtils {
public:
    // The standard user defaults, fetched once.
    static platform::UserDefaults &sharedDefaults();
    // True when the network status is 1 or 2 (reachable).
    static bool isNetworkAvailable();
    // The short version ("CFBundleShortVersionString"); empty when the build has none.
    static QString getAppVersionFromBundle();
    // The machine's model name, or "macOS" when it has none (the backend expects that value).
    static QString getDeviceName();

    QVMUtils() = delete;
};
