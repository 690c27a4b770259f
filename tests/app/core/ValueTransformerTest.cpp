#include "MappingTestSchema.h"

#include "core/mapping/MCJSONDateTransformer.h"
#include "core/mapping/MCJSONNonNullStringTransformer.h"
#include "core/mapping/MCJSONPrimaryKeyTransformer.h"
#include "core/mapping/MCJSONValueTransformer.h"

#include <QTimeZone>

#include <ctime>

using namespace platform;
using namespace mappingtest;

namespace {

// A fixed zone (+05:30, no daylight saving) makes printed offsets predictable.
class FixedTimeZone : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = qgetenv("TZ");
        qputenv("TZ", "Asia/Kolkata");
        tzset();
        MCJSONDateTransformer::load();
    }
    void TearDown() override {
        if (m_previous.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_previous);
        tzset();
    }
    static ValueTransformerPtr named(const char *name) {
        return ValueTransformer::valueTransformerForName(QString::fromLatin1(name));
    }

private:
    QByteArray m_previous;
};

} // namespace

using DateTransformers = FixedTimeZone;

TEST_F(DateTransformers, DateTimeReadsZeroOffsetAndPrintsTheLocalOffset) {
    const ValueTransformerPtr t = named(MCJSONDateTimeTransformerName);
    ASSERT_TRUE(t);
    const QDateTime date = t->transformedValue(QStringLiteral("2024-03-05T10:20:30Z")).toDateTime();
    EXPECT_EQ(date.toMSecsSinceEpoch(),
              QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), QTimeZone::utc()).toMSecsSinceEpoch());
    EXPECT_EQ(t->reverseTransformedValue(date).toString(), QStringLiteral("2024-03-05T15:50:30+05:30"));
    const QDateTime west = t->transformedValue(QStringLiteral("2024-03-05T10:20:30-08:00")).toDateTime();
    EXPECT_EQ(west.toMSecsSinceEpoch() - date.toMSecsSinceEpoch(), 8 * 3600 * 1000);
    // Fractional seconds do not fit this format; nor does anything but text.
    EXPECT_FALSE(t->transformedValue(QStringLiteral("2024-03-05T10:20:30.123Z")).isValid());
    EXPECT_FALSE(t->transformedValue(QStringLiteral("2024-03-05 10:20:30Z")).isValid());
    EXPECT_FALSE(t->transformedValue(1709634030).isValid());
    EXPECT_FALSE(t->transformedValue(QVariant::fromValue(nullptr)).isValid());
    EXPECT_FALSE(t->reverseTransformedValue(QVariant()).isValid());
}

TEST_F(DateTransformers, MillisecondsAndDateOnlyFormats) {
    const ValueTransformerPtr ms = named(MCJSONDateTimeMillisecondTransformerName);
    const QDateTime date = ms->transformedValue(QStringLiteral("2024-03-05T10:20:30.123Z")).toDateTime();
    EXPECT_EQ(date.time().msec(), 123);
    EXPECT_EQ(ms->reverseTransformedValue(date).toString(), QStringLiteral("2024-03-05T15:50:30.123+05:30"));

    const ValueTransformerPtr day = named(MCJSONDateOnlyTransformerName);
    const QDateTime midnight = day->transformedValue(QStringLiteral("2024-03-05")).toDateTime();
    EXPECT_EQ(midnight.toMSecsSinceEpoch(),
              QDateTime(QDate(2024, 3, 4), QTime(18, 30), QTimeZone::utc()).toMSecsSinceEpoch());
    EXPECT_EQ(day->reverseTransformedValue(midnight).toString(), QStringLiteral("2024-03-05"));
    EXPECT_FALSE(day->transformedValue(QStringLiteral("2024-02-30")).isValid());

    EXPECT_EQ(MCJSONDateTransformer::dateFormatForStyle(7), MCJSONDateTransformer::dateFormatForStyle(0));
    const auto seven = std::static_pointer_cast<MCJSONDateTransformer>(
        MCJSONDateTransformer::valueTransformerWithDateStyle(7));
    EXPECT_EQ(seven->formatter().dateFormat(), QStringLiteral("yyyy-MM-dd'T'HH:mm:ssZZZZZ"));
    EXPECT_EQ(seven->formatter().localeIdentifier(), QStringLiteral("en_US_POSIX"));
}

// Backends send fractions of other lengths (microseconds, one digit): they read to the millisecond.
TEST_F(DateTransformers, MillisecondFormatReadsFractionsOfAnyLength) {
    const ValueTransformerPtr ms = named(MCJSONDateTimeMillisecondTransformerName);
    struct Case {
        const char *text;
        int msec; // -1: not a date
    };
    const Case cases[] = {
        {"2024-03-05T10:20:30.5Z", 500},        {"2024-03-05T10:20:30.12Z", 120},
        {"2024-03-05T10:20:30.123456Z", 123},   {"2024-03-05T10:20:30.9999999+00:00", 999},
        {"2024-03-05T10:20:30.000001-0000", 0}, {"2024-03-05T10:20:30.Z", -1},
        {"2024-03-05T10:20:30Z", -1},           {"2024-03-05T10:20:30.12a4Z", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const QVariant read = ms->transformedValue(QString::fromLatin1(c.text));
        if (c.msec < 0) {
            EXPECT_FALSE(read.isValid());
            continue;
        }
        ASSERT_TRUE(read.isValid());
        EXPECT_EQ(
            read.toDateTime().toMSecsSinceEpoch(),
            QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30, c.msec), QTimeZone::utc()).toMSecsSinceEpoch());
    }
}

TEST_F(DateTransformers, ADateWhoseMidnightWasSkippedByAClockChangeIsStillRead) {
    // Clocks there went from 00:00 straight to 01:00 on that day.
    qputenv("TZ", "America/Santiago");
    tzset();
    const ValueTransformerPtr day = named(MCJSONDateOnlyTransformerName);
    const QDateTime date = day->transformedValue(QStringLiteral("2022-09-11")).toDateTime();
    ASSERT_TRUE(date.isValid());
    EXPECT_EQ(date.toMSecsSinceEpoch(),
              QDateTime(QDate(2022, 9, 11), QTime(4, 0), QTimeZone::utc()).toMSecsSinceEpoch());
    EXPECT_EQ(day->reverseTransformedValue(date).toString(), QStringLiteral("2022-09-11"));
}

TEST(OtherTransformers, NonNullStringAndMappingDictionary) {
    const ValueTransformerPtr s = MCJSONNonNullStringTransformer::valueTransformer();
    EXPECT_EQ(s->transformedValue(QVariant::fromValue(nullptr)).toString(), QStringLiteral(""));
    EXPECT_EQ(s->transformedValue(QVariant()).typeId(), QMetaType::QString);
    EXPECT_EQ(s->transformedValue(QStringLiteral("abc")).toString(), QStringLiteral("abc"));

    const ValueTransformerPtr m = MCJSONValueTransformer::valueTransformerWithMappingDictionary(
        {{QStringLiteral("male"), 1}, {QStringLiteral("female"), 2}});
    EXPECT_EQ(m->transformedValue(QStringLiteral("female")).toInt(), 2);
    EXPECT_EQ(m->reverseTransformedValue(1).toString(), QStringLiteral("male"));
    EXPECT_FALSE(m->transformedValue(QStringLiteral("other")).isValid());
    EXPECT_FALSE(m->reverseTransformedValue(3).isValid());
}

class MappedTransformers : public MappingTest {
protected:
    void SetUp() override {
        m_previous = qgetenv("TZ");
        qputenv("TZ", "Asia/Kolkata");
        tzset();
        MappingTest::SetUp();
    }
    void TearDown() override {
        MappingTest::TearDown();
        if (m_previous.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_previous);
        tzset();
    }
    QByteArray m_previous;
};

TEST_F(MappedTransformers, DatePropertiesUseTheDateTimeTransformerBothWays) {
    write([&](Transaction &tx) {
        JSONMapping::createOrUpdateInRealm(
            tx, QStringLiteral("MTranslation"),
            {{QStringLiteral("id_translation"), 1},
             {QStringLiteral("created_date"), QStringLiteral("2024-03-05T10:20:30Z")}});
        JSONMapping::createOrUpdateInRealm(tx, QStringLiteral("MTranslation"),
                                           {{QStringLiteral("id_translation"), 2},
                                            {QStringLiteral("created_date"), QStringLiteral("yesterday")}});
    });
    const Object t = store.objectForPrimaryKey(QStringLiteral("MTranslation"), 1);
    EXPECT_EQ(t.value(QStringLiteral("createdDate")).toDateTime().toMSecsSinceEpoch(),
              QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), QTimeZone::utc()).toMSecsSinceEpoch());
    EXPECT_EQ(JSONMapping::JSONDictionary(t).toMap().value(QStringLiteral("created_date")).toString(),
              QStringLiteral("2024-03-05T15:50:30+05:30"));
    EXPECT_FALSE(store.objectForPrimaryKey(QStringLiteral("MTranslation"), 2)
                     .value(QStringLiteral("createdDate"))
                     .isValid());
}

TEST_F(MappedTransformers, PrimaryKeyTransformerFindsStoredObjectsOfModelClassesOnly) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("MLanguage"),
                  {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
    });
    const auto t = MCJSONPrimaryKeyTransformer::valueTransformerWithRealmClass(QStringLiteral("MLanguage"));
    EXPECT_EQ(t->transformedValue(QStringLiteral("en_GB"))
                  .value<Object>()
                  .value(QStringLiteral("localeIdentifier"))
                  .toString(),
              QStringLiteral("en_GB"));
    EXPECT_FALSE(t->transformedValue(QStringLiteral("xx")).isValid());
    EXPECT_FALSE(t->transformedValue(QVariant()).isValid());
    const auto noKey = MCJSONPrimaryKeyTransformer::valueTransformerWithRealmClass(QStringLiteral("MMode"));
    EXPECT_TRUE(std::static_pointer_cast<MCJSONPrimaryKeyTransformer>(noKey)->realmClassToMap().isEmpty());
    const auto unknown =
        MCJSONPrimaryKeyTransformer::valueTransformerWithRealmClass(QStringLiteral("QString"));
    EXPECT_FALSE(unknown->transformedValue(QStringLiteral("en_GB")).isValid());
}
