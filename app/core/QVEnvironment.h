#pragma once

#include <QString>

namespace platform {
class UserDefaults;
}

// Facts about where the program runs that every layer asks: the shared user
// defaults, whether the backend can be reached, the version and the machine.
// The interface reaches the same answers through QVMUtils. Class methods only.
//
//   if (QVEnvironment::isNetworkAvailable())
//       translateOnline();
//   QVEnvironment::sharedDefaults().setObject(token, key);
class QVEnvironment {
public:
    // The standard user defaults, fetched once.
    static platform::UserDefaults &sharedDefaults();
    // True when the network status is 1 or 2 (reachable) and a backend is
    // configured. A status fixed by QV_NETWORK_STATUS or in code is taken as it is.
    static bool isNetworkAvailable();
    // False while every backend host is still its reserved ".example" default,
    // which never resolves: the program then translates offline, as without a
    // network. Logged the first time it is false.
    static bool isBackendConfigured();
    static constexpr const char *kNoBackendLog = "[network] no backend configured: translating offline";
    // The short version ("CFBundleShortVersionString"); empty when the build has none.
    static QString getAppVersionFromBundle();
    // The machine's model name, or "macOS" when it has none (the backend expects that value).
    static QString getDeviceName();
    // The running system's version as "major.minor.patch"; "0.0.0" when unknown.
    static QString getOSVersion();
    static long getOSMinorVersion();

    QVEnvironment() = delete;
};
