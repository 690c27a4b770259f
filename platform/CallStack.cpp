#include "CallStack.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace platform {
namespace {

// backtrace_symbols gives "binary(mangled+0x1f) [0xaddr]"; show the symbol demangled.
QString readable(int index, const char *raw) {
    const QString line = QString::fromLocal8Bit(raw);
    const qsizetype open = line.indexOf(QLatin1Char('('));
    const qsizetype plus = line.indexOf(QLatin1Char('+'), open);
    const qsizetype close = line.indexOf(QLatin1Char(')'), open);
    QString binary = open > 0 ? line.left(open) : line;
    binary = binary.mid(binary.lastIndexOf(QLatin1Char('/')) + 1);
    QString symbol;
    QString offset;
    if (open >= 0 && plus > open && close > plus) {
        const QByteArray mangled = line.mid(open + 1, plus - open - 1).toLocal8Bit();
        offset = line.mid(plus + 1, close - plus - 1);
        int status = 0;
        std::unique_ptr<char, void (*)(void *)> demangled(
            abi::__cxa_demangle(mangled.constData(), nullptr, nullptr, &status), std::free);
        symbol = (status == 0 && demangled) ? QString::fromLocal8Bit(demangled.get())
                                            : QString::fromLocal8Bit(mangled);
        // Without an exported name the offset is from the binary's base, which addr2line reads.
        if (symbol.isEmpty())
            symbol = binary;
    }
    const qsizetype bracket = line.lastIndexOf(QLatin1Char('['));
    const QString address = bracket >= 0 ? line.mid(bracket + 1).chopped(1) : QString();
    QString out = QStringLiteral("%1 %2 %3").arg(index, -3).arg(binary, -28).arg(address);
    if (!symbol.isEmpty())
        out += QStringLiteral(" %1 + %2").arg(symbol, offset);
    return out;
}

} // namespace

QStringList callStackSymbols(int skipFrames, int maxFrames) {
    if (maxFrames <= 0)
        return {};
    skipFrames = std::max(skipFrames, 0);
    std::vector<void *> frames(static_cast<size_t>(maxFrames + skipFrames) + 1);
    const int count = backtrace(frames.data(), static_cast<int>(frames.size()));
    std::unique_ptr<char *, void (*)(void *)> symbols(backtrace_symbols(frames.data(), count), std::free);
    QStringList out;
    if (!symbols)
        return out;
    // Frame 0 is this function.
    for (int i = 1 + skipFrames; i < count; ++i)
        out << readable(i - 1 - skipFrames, symbols.get()[i]);
    return out;
}

} // namespace platform
