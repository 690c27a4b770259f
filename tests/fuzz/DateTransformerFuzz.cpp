// The JSON date formats over any text, in zones with skipped days and offsets with
// seconds: whatever is read must be written back as text that reads to the same instant.
#include "FuzzInput.h"
#include "core/mapping/MCJSONDateTransformer.h"

#include <cstdlib>
#include <ctime>

namespace {

const char *const kZones[] = {"UTC",          "America/New_York", "Asia/Tokyo",
                              "Pacific/Apia", "Africa/Monrovia",  "America/Santiago"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    qvfuzz::Input in(data, size);
    const uint8_t choice = in.take<uint8_t>();
    static int currentZone = -1;
    const int zone = choice % (sizeof kZones / sizeof *kZones);
    if (zone != currentZone) {
        setenv("TZ", kZones[zone], 1);
        tzset();
        currentZone = zone;
    }
    const MCJSONDateFormatter formatter(MCJSONDateTransformer::dateFormatForStyle((choice >> 4) % 3));
    const QDateTime date = formatter.dateFromString(in.takeText());
    if (!date.isValid())
        return 0;
    const QString written = formatter.stringFromDate(date);
    const QDateTime reread = formatter.dateFromString(written);
    if (!reread.isValid() || reread.toMSecsSinceEpoch() != date.toMSecsSinceEpoch())
        std::abort();
    return 0;
}
