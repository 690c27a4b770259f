#include "core/mapping/MCJSONDateTransformer.h"

#include <QTimeZone>
#include <gtest/gtest.h>

#include <ctime>

namespace {

// Sets the process time zone for one test and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *zone)
        : m_previous(qgetenv("TZ")), m_hadZone(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_hadZone)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_previous;
    bool m_hadZone;
};

// Zones with clock changes, day-long skips, far offsets and pre-1900 offsets with seconds.
const char *const kZones[] = {"UTC",
                              "America/New_York",
                              "Asia/Tokyo",
                              "Pacific/Apia",
                              "Pacific/Kiritimati",
                              "Africa/Monrovia",
                              "Europe/Amsterdam",
                              "America/Santiago",
                              "Asia/Kolkata"};

QString utcText(const QDateTime &instant) {
    return instant.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

// Reads `text`, writes the date back and reads that again: the text must be readable and name the same
// instant.
void expectRoundTrip(const MCJSONDateTransformer &transformer, const QString &text) {
    SCOPED_TRACE(text.toStdString());
    const QVariant read = transformer.transformedValue(text);
    ASSERT_TRUE(read.isValid()) << "not read";
    const QString written = transformer.reverseTransformedValue(read).toString();
    ASSERT_FALSE(written.isEmpty());
    const QVariant reread = transformer.transformedValue(written);
    ASSERT_TRUE(reread.isValid()) << "written as unreadable " << written.toStdString();
    EXPECT_EQ(reread.toDateTime().toMSecsSinceEpoch(), read.toDateTime().toMSecsSinceEpoch())
        << "written as " << written.toStdString();
}

} // namespace

TEST(MCJSONDateTransformer, EveryDateItReadsItWritesBackReadable) {
    struct Case {
        int style;
        const char *text;
    };
    const Case cases[] = {
        {0, "0001-01-01T00:00:00Z"},
        {0, "0001-01-01T00:00:00+14:00"},
        {0, "9999-12-31T23:59:59Z"},
        {0, "9999-12-31T23:59:59-14:00"},
        {0, "1850-06-01T12:00:00Z"},
        {0, "1900-01-01T00:00:00-04:56:02"},
        {0, "1920-01-01T00:00:00+00:19:32"},
        {0, "1970-01-01T00:00:00Z"},
        {0, "2011-12-30T10:00:00Z"},
        {0, "2011-12-29T23:59:59-10:00"},
        {0, "2024-03-10T07:30:00Z"},
        {0, "1995-01-01T00:00:00+14:00"},
        {1, "0001-01-01T00:00:00.001Z"},
        {1, "9999-12-31T23:59:59.999Z"},
        {1, "1901-12-13T20:45:51.500-00:44:30"},
        {2, "0001-01-01"},
        {2, "9999-12-31"},
        {2, "2011-12-30"},
        {2, "1994-12-31"},
        {2, "2022-09-11"},
        {2, "1850-01-01"},
        {2, "1937-07-01"},
    };
    for (const char *zone : kZones) {
        SCOPED_TRACE(zone);
        ScopedTimeZone scoped(zone);
        for (const Case &c : cases) {
            const auto transformer = std::static_pointer_cast<MCJSONDateTransformer>(
                MCJSONDateTransformer::valueTransformerWithDateStyle(c.style));
            expectRoundTrip(*transformer, QString::fromLatin1(c.text));
        }
    }
}

// A sweep over the whole range of four-digit years, at odd times of day, in every zone.
TEST(MCJSONDateTransformer, InstantsAcrossAllYearsRoundTripInEveryZone) {
    const MCJSONDateTransformer transformer(MCJSONDateTransformer::dateFormatForStyle(0));
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), QTimeZone::utc());
    for (const char *zone : kZones) {
        SCOPED_TRACE(zone);
        ScopedTimeZone scoped(zone);
        expectRoundTrip(transformer, utcText(first));
        expectRoundTrip(transformer, utcText(last));
        for (QDateTime t = first; t < last; t = t.addSecs(997LL * 86400 + 3607))
            expectRoundTrip(transformer, utcText(t));
    }
}

TEST(MCJSONDateTransformer, OutOfRangeLocalYearsAndOffsetSecondsPrintReadably) {
    const MCJSONDateTransformer transformer(MCJSONDateTransformer::dateFormatForStyle(0));
    struct Case {
        const char *zone;
        const char *text;
        const char *written;
    };
    const Case cases[] = {
        // The local year would be 0 or 10000: the text falls back to a readable offset.
        {"America/New_York", "0001-01-01T00:00:00Z", "0001-01-01T00:00:00Z"},
        {"America/New_York", "0001-01-01T00:00:00+14:00", "0001-01-01T00:00:00+14:00"},
        {"Asia/Tokyo", "9999-12-31T23:59:59Z", "9999-12-31T23:59:59Z"},
        {"Asia/Tokyo", "9999-12-31T23:59:59-14:00", "9999-12-31T23:59:59-14:00"},
        // Offsets of local mean time keep their seconds.
        {"America/New_York", "1850-06-01T12:00:00Z", "1850-06-01T07:03:58-04:56:02"},
        {"Africa/Monrovia", "1950-01-01T00:00:00Z", "1949-12-31T23:15:30-00:44:30"},
        {"Europe/Amsterdam", "1920-01-01T00:00:00Z", "1920-01-01T00:19:32+00:19:32"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.text);
        ScopedTimeZone scoped(c.zone);
        const QVariant date = transformer.transformedValue(QString::fromLatin1(c.text));
        ASSERT_TRUE(date.isValid());
        EXPECT_EQ(transformer.reverseTransformedValue(date).toString(), QString::fromLatin1(c.written));
    }
    // A date no offset can print within four-digit years gives nothing rather than unreadable text.
    ScopedTimeZone scoped("UTC");
    EXPECT_FALSE(
        transformer.reverseTransformedValue(QDateTime(QDate(10000, 6, 1), QTime(0, 0), QTimeZone::utc()))
            .isValid());
    EXPECT_FALSE(
        transformer.reverseTransformedValue(QDateTime(QDate(-5, 6, 1), QTime(0, 0), QTimeZone::utc()))
            .isValid());
}

TEST(MCJSONDateTransformer, OffsetSecondsNeedTheExtendedFormAndTwoDigits) {
    const MCJSONDateTransformer transformer(MCJSONDateTransformer::dateFormatForStyle(0));
    ScopedTimeZone scoped("UTC");
    const char *const bad[] = {"1900-01-01T00:00:00-04:56:",   "1900-01-01T00:00:00-04:56:2",
                               "1900-01-01T00:00:00-04:56:60", "1900-01-01T00:00:00+05:30:00:00",
                               "1900-01-01T00:00:00+045602",   "1900-01-01T00:00:00Z:00"};
    for (const char *text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(transformer.transformedValue(QString::fromLatin1(text)).isValid());
    }
}
