#pragma once

#include <thread>

// Reads the fontconfig configuration on a thread of its own while the program starts. The
// first text the main window lays out would otherwise parse it (some milliseconds of XML)
// on the interface thread. fontconfig makes one configuration per process and whoever asks
// first makes it, so nothing ever waits for this thread: it only gets there earlier.
// Joined on destruction.
class QVFontConfigPreload {
public:
    QVFontConfigPreload();
    ~QVFontConfigPreload();
    QVFontConfigPreload(const QVFontConfigPreload &) = delete;
    QVFontConfigPreload &operator=(const QVFontConfigPreload &) = delete;

private:
    std::thread m_thread;
};
