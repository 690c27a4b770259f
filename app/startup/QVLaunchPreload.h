#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Makes, on a thread of its own, things of the process the launch needs later on the
// interface thread, each of which its library makes once, under its own lock, whoever asks
// first: the interface thread never waits longer than it would have, it only finds them
// made. Nothing before the application exists (beside Qt connecting to the display, each of
// these slowed it by more than it saved). Once the application is named and this copy is the
// one that runs (a second launch only hands over and quits), in the order the interface thread
// asks for them: GIO's network monitor (the offline bridge asks it before the window is built),
// the keychain's look at the Secret Service (the analytics identity), Qt's font list (fontconfig
// parses its XML and lists every font for the first text the window lays out), the image format
// plugins (loaded at the first picture read from a file) and the threads of Qt's global pool
// (the window's first frame paints with them; one busy with other work is not waited for).
// Declared after the application object: its destructor joins the thread, whose work needs the
// application's platform integration and thread pool. Nothing is made when the application never
// became ready, and what is not yet begun when it is destroyed is left undone.
//
//   QApplication app(argc, argv);
//   QVLaunchPreload preload;
//   ...                            // once this copy is the one that runs:
//   preload.applicationReady();
class QVLaunchPreload {
public:
    QVLaunchPreload();
    ~QVLaunchPreload();
    QVLaunchPreload(const QVLaunchPreload &) = delete;
    QVLaunchPreload &operator=(const QVLaunchPreload &) = delete;

    void applicationReady();

    // How long the pool's threads are waited for, each busy one included.
    static constexpr int kPaintThreadsWaitMs = 100;
    // The thread's name, as tools that list a process's threads show it.
    static constexpr const char *kThreadName = "qv-preload";

private:
    void run();
    bool stopping();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_ready = false;
    bool m_stopping = false;
    static constexpr int kSteps = 5;
    std::atomic<int> m_stepsMade{0};
    std::thread m_thread; // last: starts once the members above exist
};
