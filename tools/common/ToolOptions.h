#pragma once

#include <cstring>
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

// True when the command line asks for the tool's usage: "--help" or "-h" anywhere, or "help"
// as the command word. The usage then goes to standard output and the tool ends with 0.
inline bool asksForHelp(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "help") == 0)
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    }
    return false;
}

// The name the tool was started by, without its folder (a link's name, not its target's).
inline std::string commandName(char **argv, const char *fallback) {
    const char *name = argv[0] ? std::strrchr(argv[0], '/') : nullptr;
    return name ? name + 1 : (argv[0] && *argv[0] ? argv[0] : fallback);
}

} // namespace tools
