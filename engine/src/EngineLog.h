// Diagnostic lines of the engine. engineLog is off unless QV_ENGINE_LOG=1, since its lines carry
// user text; engineError always writes to standard error and must never be given user text.
#pragma once

#include <iostream>

namespace synaptra {

bool engineLogEnabled();

template <typename... Parts> void engineLog(const Parts &...parts) {
    if (!engineLogEnabled())
        return;
    (std::cout << ... << parts) << '\n';
}

template <typename... Parts> void engineError(const Parts &...parts) {
    (std::cerr << ... << parts) << std::endl;
}

} // namespace synaptra
