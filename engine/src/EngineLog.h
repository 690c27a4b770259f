// Diagnostic lines of the engine: off unless QV_ENGINE_LOG=1, since they carry user text.
#pragma once

#include <iostream>

namespace synaptra {

bool engineLogEnabled();

template <typename... Parts> void engineLog(const Parts &...parts) {
    if (!engineLogEnabled())
        return;
    (std::cout << ... << parts) << '\n';
}

} // namespace synaptra
