// Paths of the fixtures MakeFixtures.cmake writes before the engine suites run.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace enginetest {

inline std::string fixture(const std::string &name) {
    return (std::filesystem::path(ENGINE_FIXTURES) / name).string();
}

inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the build tree for one test's files.
inline std::string scratchDir(const std::string &name) {
    const auto dir = std::filesystem::path(ENGINE_FIXTURES).parent_path() / "scratch" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

} // namespace enginetest
