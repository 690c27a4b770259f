// Whole-number reads of stored settings over any text and any double.
#include "FuzzInput.h"
#include "platform/IntegerValue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    qvfuzz::Input in(data, size);
    const double number = in.take<double>();
    platform::integerFromValue(number);
    platform::clampToInt64(number);
    platform::clampToUInt64(number);
    const QByteArray bytes = in.takeBytes();
    platform::integerFromValue(QString::fromUtf8(bytes));
    platform::integerFromValue(bytes);
    return 0;
}
