#pragma once

#include <QString>

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The first frame of the first window a started program maps, seen on the X server: the moment
// the window's pixels are no longer what the server showed there before the program drew (its
// root's colour, as a window without a background shows until it is painted).
//
//   X11FrameWatch watch(display);
//   watch.reset();  process.start(...);
//   while (!watch.frameDrawn()) ...;      // polls, never waits
class X11FrameWatch {
public:
    explicit X11FrameWatch(const QString &display);
    ~X11FrameWatch();
    X11FrameWatch(const X11FrameWatch &) = delete;
    X11FrameWatch &operator=(const X11FrameWatch &) = delete;

    bool isConnected() const { return m_root != XCB_NONE; }
    // Before each start: windows mapped so far are not the next program's.
    void reset();
    // True once the program's window shows pixels it drew.
    bool frameDrawn();

private:
    void drain();
    void watch(xcb_window_t window);
    std::optional<uint32_t> pixel(xcb_window_t window, int x, int y);

    xcb_connection_t *m_connection;
    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_window = XCB_NONE;
    std::optional<uint32_t> m_rootColour;
    std::vector<std::pair<int, int>> m_samples;
};
