#pragma once

#include <functional>

// Launch steps whose owners come with other parts of the program (the
// Services provider, the global shortcuts). Each owner sets its hook before
// the launch; an unset hook writes one "[launch] <hook> not available" line.
// Main thread only.
//
//   QVLaunchHooks::shared().addService = [] { QVMServicesMenu::sharedInstance().registerProvider(); };
//   QVLaunchHooks::run(QVLaunchHooks::shared().addService, "addService");
struct QVLaunchHooks {
    static QVLaunchHooks &shared();

    std::function<void()> addService;
    std::function<void()> startObservingShortcuts;

    // Runs the hook, or writes its line. True when it ran.
    static bool run(const std::function<void()> &hook, const char *name);
    static constexpr const char *kNotAvailableFormat = "[launch] %@ not available";
};
