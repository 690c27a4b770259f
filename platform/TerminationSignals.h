#pragma once

namespace platform {

// A session that ends (logout, `systemctl --user stop`, `kill`) sends SIGTERM, a terminal
// SIGINT or SIGHUP: each ends the program as Quit does, through the application's event
// loop, instead of cutting it off mid-write. A second signal, while the first quit is on its
// way, ends the program at once, as the default would.
//
//   QApplication app(argc, argv);
//   platform::TerminationSignals::quitApplicationOnSignal();
class TerminationSignals {
public:
    // Call on the main thread once the application object exists.
    static void quitApplicationOnSignal();

    TerminationSignals() = delete;
};

} // namespace platform
