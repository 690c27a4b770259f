#pragma once

#include <map>
#include <optional>
#include <string>

namespace tools {

using Options = std::map<std::string, std::string>;

// Reads "--name value" pairs after the command word (argv[2] on). Nothing when an
// option lacks its value or a word is not an option, so the tool prints its usage.
inline std::optional<Options> parseOptions(int argc, char **argv) {
    Options options;
    for (int i = 2; i < argc; i += 2) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0 || name.size() == 2 || i + 1 >= argc)
            return std::nullopt;
        options[name.substr(2)] = argv[i + 1];
    }
    return options;
}

} // namespace tools
