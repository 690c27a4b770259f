#pragma once

#include "core/mapping/ValueTransformer.h"

#include <QDateTime>

// Names of the three shared date transformers (each equal to its constant's name).
extern const char *const MCJSONDateTimeTransformerName;            // "yyyy-MM-dd'T'HH:mm:ssZZZZZ"
extern const char *const MCJSONDateTimeMillisecondTransformerName; // "yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ"
extern const char *const MCJSONDateOnlyTransformerName;            // "yyyy-MM-dd"

// A fixed-format date formatter (locale "en_US_POSIX", the system's current
// time zone): text to date forward, date to text in reverse. Supports the
// pattern letters of the formats above: yyyy MM dd HH mm ss SSS ZZZZZ and
// quoted literals. ZZZZZ reads and writes "Z", "+HH:MM" or, for the offsets of
// local mean time, "+HH:MM:SS". Every date it reads it writes back as text it
// reads to the same instant: where the local year would leave 1-9999, a format
// with a zone prints the date in UTC (or at +14:00 / -14:00); without a zone
// such a date gives no text.
class MCJSONDateFormatter {
public:
    MCJSONDateFormatter() = default;
    explicit MCJSONDateFormatter(QString format);

    const QString &dateFormat() const { return m_format; }
    QString localeIdentifier() const { return QStringLiteral("en_US_POSIX"); }
    QDateTime dateFromString(const QString &text) const; // invalid unless the whole text matches
    QString stringFromDate(const QDateTime &date) const; // empty when no readable text exists

private:
    QString m_format;
};

class MCJSONDateTransformer : public ValueTransformer {
public:
    // Registers the three named transformers (styles 0, 1, 2) once; safe to call
    // again. Called at start-up, before the application object exists.
    static void load();

    static ValueTransformerPtr valueTransformerWithDateStyle(int style);
    static ValueTransformerPtr valueTransformerWithDateFormat(const QString &format);
    static QString dateFormatForStyle(int style); // 2 date only, 1 milliseconds, anything else date-time

    explicit MCJSONDateTransformer(const QString &dateFormat);

    // A non-null, non-text value gives nothing (the formatter only reads text).
    QVariant transformedValue(const QVariant &value) const override;
    QVariant reverseTransformedValue(const QVariant &value) const override;
    bool allowsReverseTransformation() const override { return true; }

    const MCJSONDateFormatter &formatter() const { return m_formatter; }
    void setFormatter(const MCJSONDateFormatter &formatter) { m_formatter = formatter; }

private:
    MCJSONDateFormatter m_formatter;
};
