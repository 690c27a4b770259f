#pragma once

#include <thread>

// Makes, on a thread of its own while Qt connects to the display, two things of the process
// the launch needs later on the interface thread: fontconfig's configuration (the first
// text the window lays out would parse its XML) and GIO's network monitor (the offline
// bridge asks it before the window is built). Each library makes its own once, under its
// own lock, whoever asks first: the interface thread never waits longer than it would have.
// Joined on destruction.
class QVLaunchPreload {
public:
    QVLaunchPreload();
    ~QVLaunchPreload();
    QVLaunchPreload(const QVLaunchPreload &) = delete;
    QVLaunchPreload &operator=(const QVLaunchPreload &) = delete;

private:
    std::thread m_thread;
};
