#pragma once

#include <functional>

// Work the main window's first frame does not show waits until that frame is on the screen,
// so the window appears sooner. Outside a launch (a rebuilt window, a test) it runs at once.
// Main thread only.
//
//   QVMFirstFrame::expect();                       // the launch is about to show the window
//   QVMFirstFrame::whenDrawn([] { showTrayIcon(); });
//   QVMFirstFrame::drawn();                        // the window's first paint reached the screen
namespace QVMFirstFrame {

constexpr int kTimeLimitMs = 2000;

// A window is being shown: work handed over from now on waits for drawn(), or for the time
// limit when no frame ever comes (a window that fails to show).
void expect(int timeLimitMs = kTimeLimitMs);
// Runs what waited, in the order it came; from now on work runs at once.
void drawn();
// Runs `work` now, or once the expected frame is drawn.
void whenDrawn(std::function<void()> work);

} // namespace QVMFirstFrame
