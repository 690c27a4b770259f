#include "EngineLog.h"

#include <cstdlib>
#include <cstring>

namespace synaptra {

bool engineLogEnabled() {
    static const bool enabled = [] {
        const char *value = std::getenv("QV_ENGINE_LOG");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

} // namespace synaptra
