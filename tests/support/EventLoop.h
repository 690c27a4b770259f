#pragma once

#include <functional>

namespace qvtest {

// Spins the Qt event loop until the predicate holds or the time-out passes;
// returns the predicate's last value. Tests use it instead of sleeping.
bool waitUntil(const std::function<bool()> &predicate, int timeoutMs = 5000);

// Spins the event loop for the given time, delivering everything queued meanwhile.
void spin(int ms);

} // namespace qvtest
