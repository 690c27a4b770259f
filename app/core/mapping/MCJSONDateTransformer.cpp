#include "core/mapping/MCJSONDateTransformer.h"

#include <QTimeZone>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>

const char *const MCJSONDateTimeTransformerName = "MCJSONDateTimeTransformerName";
const char *const MCJSONDateTimeMillisecondTransformerName = "MCJSONDateTimeMillisecondTransformerName";
const char *const MCJSONDateOnlyTransformerName = "MCJSONDateOnlyTransformerName";

namespace {

struct Token {
    QChar letter; // 0 for a literal
    int count = 0;
    QString literal;
};

QList<Token> tokenize(const QString &format) {
    QList<Token> tokens;
    for (int i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            const int end = format.indexOf(QLatin1Char('\''), i + 1);
            const QString text = format.mid(i + 1, end < 0 ? -1 : end - i - 1);
            tokens.append({QChar(), 0, text.isEmpty() ? QStringLiteral("'") : text});
            i = end < 0 ? format.size() : end + 1;
        } else if (c.isLetter()) {
            int n = 1;
            while (i + n < format.size() && format.at(i + n) == c)
                ++n;
            tokens.append({c, n, {}});
            i += n;
        } else {
            tokens.append({QChar(), 0, QString(c)});
            ++i;
        }
    }
    return tokens;
}

bool readDigits(const QString &text, int &pos, int count, int &out) {
    if (pos + count > text.size())
        return false;
    out = 0;
    for (int k = 0; k < count; ++k) {
        const QChar c = text.at(pos + k);
        if (!c.isDigit() || c.unicode() > 127)
            return false;
        out = out * 10 + (c.unicode() - '0');
    }
    pos += count;
    return true;
}

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

} // namespace

MCJSONDateFormatter::MCJSONDateFormatter(QString format) : m_format(std::move(format)) {}

QDateTime MCJSONDateFormatter::dateFromString(const QString &text) const {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millis = 0;
    std::optional<int> offsetSeconds;
    int pos = 0;
    const QList<Token> tokens = tokenize(m_format);
    for (qsizetype index = 0; index < tokens.size(); ++index) {
        const Token &t = tokens.at(index);
        if (t.letter.isNull()) {
            if (!text.mid(pos).startsWith(t.literal))
                return {};
            pos += static_cast<int>(t.literal.size());
            continue;
        }
        bool ok = true;
        switch (t.letter.unicode()) {
        case 'y':
            ok = readDigits(text, pos, t.count == 2 ? 2 : 4, year);
            break;
        case 'M':
            ok = readDigits(text, pos, 2, month);
            break;
        case 'd':
            ok = readDigits(text, pos, 2, day);
            break;
        case 'H':
            ok = readDigits(text, pos, 2, hour);
            break;
        case 'm':
            ok = readDigits(text, pos, 2, minute);
            break;
        case 's':
            ok = readDigits(text, pos, 2, second);
            break;
        case 'S': {
            // Unless another number follows at once, the fraction takes as many digits as
            // the text has, as date formatters read it: ".5" is 500 ms, ".123456" 123 ms.
            const bool abutting = index + 1 < tokens.size() && !tokens.at(index + 1).letter.isNull() &&
                                  tokens.at(index + 1).letter != QLatin1Char('Z');
            int digits = t.count;
            if (!abutting) {
                digits = 0;
                while (pos + digits < text.size() && text.at(pos + digits).unicode() >= '0' &&
                       text.at(pos + digits).unicode() <= '9')
                    ++digits;
                if (digits == 0)
                    return {};
            }
            int fraction = 0;
            ok = readDigits(text, pos, std::min(digits, 3), fraction);
            pos += std::max(digits - 3, 0);
            millis = fraction;
            for (int k = std::min(digits, 3); k < 3; ++k)
                millis *= 10;
            break;
        }
        case 'Z': {
            if (pos < text.size() && text.at(pos) == QLatin1Char('Z')) {
                offsetSeconds = 0;
                ++pos;
                break;
            }
            if (pos >= text.size() || (text.at(pos) != QLatin1Char('+') && text.at(pos) != QLatin1Char('-')))
                return {};
            const int sign = text.at(pos) == QLatin1Char('-') ? -1 : 1;
            ++pos;
            // "+HH:MM", "+HHMM", or "+HH:MM:SS" as the zones of local mean time need.
            int h = 0, m = 0, sec = 0;
            ok = readDigits(text, pos, 2, h);
            const bool extended = ok && pos < text.size() && text.at(pos) == QLatin1Char(':');
            if (extended)
                ++pos;
            ok = ok && readDigits(text, pos, 2, m);
            if (ok && extended && pos < text.size() && text.at(pos) == QLatin1Char(':')) {
                ++pos;
                ok = readDigits(text, pos, 2, sec);
            }
            ok = ok && h < 24 && m < 60 && sec < 60;
            offsetSeconds = sign * (h * 3600 + m * 60 + sec);
            break;
        }
        default:
            return {}; // a pattern letter this formatter does not know
        }
        if (!ok)
            return {};
    }
    if (pos != text.size())
        return {};
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millis);
    if (!date.isValid() || !time.isValid())
        return {};
    if (offsetSeconds)
        return QDateTime(date, time, QTimeZone(*offsetSeconds));
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime result(date, time, zone);
    if (result.isValid())
        return result;
    // A wall time that a clock change skipped (midnight, in zones that move
    // their clocks then): read it with the offset in force the day before, so
    // that it lands just after the change instead of being lost.
    const QDateTime dayBefore = QDateTime(date, time, QTimeZone::utc()).addDays(-1);
    const QDateTime shifted =
        QDateTime(date, time, QTimeZone(zone.offsetFromUtc(dayBefore))).toTimeZone(zone);
    return shifted.isValid() ? shifted : QDateTime();
}

namespace {

bool hasFourDigitYear(const QDate &date) {
    return date.year() >= 1 && date.year() <= 9999;
}

QString offsetText(int offset) {
    if (offset == 0)
        return QStringLiteral("Z");
    const int magnitude = std::abs(offset);
    QString out = (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) + twoDigits(magnitude / 3600) +
                  QLatin1Char(':') + twoDigits((magnitude % 3600) / 60);
    // Local mean time before the zones were standardised has offsets with seconds.
    if (magnitude % 60 != 0)
        out += QLatin1Char(':') + twoDigits(magnitude % 60);
    return out;
}

// `wall` holds the date and time as read on a clock `offset` seconds east of UTC.
QString render(const QList<Token> &tokens, const QDateTime &wall, int offset) {
    const QDate date = wall.date();
    const QTime time = wall.time();
    QString out;
    for (const Token &t : tokens) {
        if (t.letter.isNull()) {
            out += t.literal;
            continue;
        }
        switch (t.letter.unicode()) {
        case 'y':
            out += t.count == 2 ? twoDigits(date.year() % 100)
                                : QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
            break;
        case 'M':
            out += twoDigits(date.month());
            break;
        case 'd':
            out += twoDigits(date.day());
            break;
        case 'H':
            out += twoDigits(time.hour());
            break;
        case 'm':
            out += twoDigits(time.minute());
            break;
        case 's':
            out += twoDigits(time.second());
            break;
        case 'S':
            out += QStringLiteral("%1").arg(time.msec(), 3, 10, QLatin1Char('0')).left(t.count);
            break;
        case 'Z':
            out += offsetText(offset);
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace

QString MCJSONDateFormatter::stringFromDate(const QDateTime &date) const {
    if (!date.isValid())
        return {};
    const QList<Token> tokens = tokenize(m_format);
    const QDateTime local = date.toTimeZone(QTimeZone::systemTimeZone());
    if (hasFourDigitYear(local.date()))
        return render(tokens, local, local.offsetFromUtc());
    // Near year 1 or 9999 the local clock can show year 0 or 10000, which no reader
    // takes back. A format with a zone can name the same instant on another clock:
    // UTC, else the farthest offsets that still read back (+14:00, -14:00).
    const bool hasZone = std::any_of(tokens.cbegin(), tokens.cend(),
                                     [](const Token &t) { return t.letter == QLatin1Char('Z'); });
    if (!hasZone)
        return {};
    const QDateTime utc = date.toUTC();
    for (const int offset : {0, 14 * 3600, -14 * 3600}) {
        const QDateTime wall = utc.addSecs(offset);
        if (hasFourDigitYear(wall.date()))
            return render(tokens, wall, offset);
    }
    return {};
}

void MCJSONDateTransformer::load() {
    static std::once_flag once;
    std::call_once(once, [] {
        setValueTransformer(valueTransformerWithDateStyle(0),
                            QString::fromLatin1(MCJSONDateTimeTransformerName));
        setValueTransformer(valueTransformerWithDateStyle(1),
                            QString::fromLatin1(MCJSONDateTimeMillisecondTransformerName));
        setValueTransformer(valueTransformerWithDateStyle(2),
                            QString::fromLatin1(MCJSONDateOnlyTransformerName));
    });
}

QString MCJSONDateTransformer::dateFormatForStyle(int style) {
    if (style == 2)
        return QStringLiteral("yyyy-MM-dd");
    if (style == 1)
        return QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ");
    return QStringLiteral("yyyy-MM-dd'T'HH:mm:ssZZZZZ");
}

ValueTransformerPtr MCJSONDateTransformer::valueTransformerWithDateStyle(int style) {
    return valueTransformerWithDateFormat(dateFormatForStyle(style));
}

ValueTransformerPtr MCJSONDateTransformer::valueTransformerWithDateFormat(const QString &format) {
    return std::make_shared<MCJSONDateTransformer>(format);
}

MCJSONDateTransformer::MCJSONDateTransformer(const QString &dateFormat) : m_formatter(dateFormat) {}

QVariant MCJSONDateTransformer::transformedValue(const QVariant &value) const {
    if (isNullValue(value) || value.typeId() != QMetaType::QString)
        return {};
    const QDateTime date = m_formatter.dateFromString(value.toString());
    return date.isValid() ? QVariant(date) : QVariant();
}

QVariant MCJSONDateTransformer::reverseTransformedValue(const QVariant &value) const {
    if (isNullValue(value) || value.typeId() != QMetaType::QDateTime)
        return {};
    // Nothing, rather than text that could not be read back.
    const QString text = m_formatter.stringFromDate(value.toDateTime());
    return text.isEmpty() ? QVariant() : QVariant(text);
}
