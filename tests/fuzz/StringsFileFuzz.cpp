// The ".strings" reader over any bytes: it stops at the first fault and says so.
#include "platform/StringsFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString error;
    const auto entries = platform::StringsFile::parse(bytes, &error);
    for (const auto &entry : entries) {
        // Keys and values are whole text: never half a surrogate pair.
        if (!entry.first.isValidUtf16() || !entry.second.isValidUtf16())
            std::abort();
    }
    // Entries come only from text before the fault, so a clean parse of a prefix never yields more.
    if (error.isEmpty() && size > 0) {
        const auto shorter = platform::StringsFile::parse(bytes.left(bytes.size() - 1));
        if (shorter.size() > entries.size())
            std::abort();
    }
    return 0;
}
