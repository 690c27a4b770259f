#pragma once

#include <functional>

namespace platform {

// Runs the block on the Qt main thread from its event loop, never synchronously,
// even when called from the main thread. Requires a QCoreApplication.
void dispatchAsyncMain(std::function<void()> block);

// Same, after a delay in milliseconds.
void dispatchAfterMain(int delayMs, std::function<void()> block);

bool isMainThread();

} // namespace platform
