// The printf-style formatter over any format text and any mix of argument kinds.
#include "FuzzInput.h"
#include "platform/Format.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    qvfuzz::Input in(data, size);
    const QString format = in.takeText();
    QList<platform::FormatArg> args;
    while (!in.empty() && args.size() < 8) {
        switch (in.take<uint8_t>() % 6) {
        case 0:
            args.append(in.take<qint64>());
            break;
        case 1:
            args.append(in.take<quint64>());
            break;
        case 2:
            args.append(in.take<double>());
            break;
        case 3:
            args.append(in.takeText());
            break;
        case 4:
            args.append(nullptr);
            break;
        default:
            args.append(QVariantList{in.take<int>(), in.takeText()});
            break;
        }
    }
    const QString out = platform::formatList(format, args);
    // Widths and precisions are capped: the output stays near the size of what went in.
    if (out.size() > (format.size() + 1) * 5000 + args.size() * 100000)
        std::abort();
    return 0;
}
