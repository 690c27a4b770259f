#pragma once

#include <QStringList>

namespace platform {

// The calling thread's stack, one line per frame ("index  binary  address  symbol + offset"),
// innermost first, starting at the caller of this function after skipFrames more
// frames; at most maxFrames lines.
QStringList callStackSymbols(int skipFrames = 0, int maxFrames = 64);

} // namespace platform
