#include "Format.h"

#include <QByteArray>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace platform {
namespace {

// Keeps a hostile width or precision from allocating without bound.
constexpr int kMaxWidth = 4096;

// Doubles go through the C library in the "C" locale, so rounding matches the
// platform's printf and the decimal point is always '.' whatever the user's locale.
QString cDouble(const QByteArray &spec, double value) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t previous = uselocale(cLocale);
    char small[128];
    const int needed = std::snprintf(small, sizeof small, spec.constData(), value);
    QString out;
    if (needed >= 0 && needed < static_cast<int>(sizeof small)) {
        out = QString::fromLatin1(small, needed);
    } else if (needed >= 0) {
        QByteArray large(needed + 1, '\0');
        std::snprintf(large.data(), large.size(), spec.constData(), value);
        out = QString::fromLatin1(large.constData(), needed);
    }
    uselocale(previous);
    return out;
}

struct Directive {
    QByteArray flags;
    int width = -1;
    int precision = -1;
    QByteArray length;
    char conversion = 0;
};

class Formatter {
public:
    Formatter(const QString &format, const QList<FormatArg> &args) : m_format(format), m_args(args) {}

    QString run() {
        const qsizetype n = m_format.size();
        qsizetype i = 0;
        while (i < n) {
            const QChar c = m_format.at(i);
            if (c != QLatin1Char('%')) {
                m_out += c;
                ++i;
                continue;
            }
            const qsizetype end = directive(i);
            if (end < 0) {
                // Not a directive we know: copy the '%' and carry on after it.
                m_out += c;
                ++i;
            } else {
                i = end;
            }
        }
        return m_out;
    }

private:
    bool isDigit(qsizetype i) const { return i < m_format.size() && m_format.at(i).isDigit(); }

    int readNumber(qsizetype &i) const {
        qint64 value = 0;
        while (isDigit(i)) {
            value = std::min<qint64>(value * 10 + m_format.at(i).digitValue(), kMaxWidth);
            ++i;
        }
        return static_cast<int>(value);
    }

    const FormatArg *nextArg(int position) {
        const qsizetype index = position > 0 ? position - 1 : m_next++;
        if (index < 0 || index >= m_args.size())
            return nullptr;
        return &m_args.at(index);
    }

    // Parses the directive starting at `start` (the '%') and writes it; returns
    // the index after it, or -1 when the text there is no directive.
    qsizetype directive(qsizetype start) {
        const qsizetype n = m_format.size();
        qsizetype i = start + 1;
        if (i < n && m_format.at(i) == QLatin1Char('%')) {
            m_out += QLatin1Char('%');
            return i + 1;
        }
        int position = 0;
        qsizetype probe = i;
        const int number = readNumber(probe);
        if (probe > i && probe < n && m_format.at(probe) == QLatin1Char('$')) {
            position = number;
            i = probe + 1;
        }
        Directive d;
        while (i < n && QByteArrayView("-+ 0#'").contains(m_format.at(i).toLatin1()) &&
               m_format.at(i).unicode() < 128) {
            if (m_format.at(i) != QLatin1Char('\''))
                d.flags += m_format.at(i).toLatin1();
            ++i;
        }
        bool missing = false;
        if (i < n && m_format.at(i) == QLatin1Char('*')) {
            const FormatArg *arg = nextArg(0);
            missing |= !arg;
            const qint64 w = arg ? arg->toSigned() : 0;
            if (w < 0)
                d.flags += '-';
            d.width = static_cast<int>(std::min<qint64>(std::abs(w), kMaxWidth));
            ++i;
        } else if (isDigit(i)) {
            d.width = readNumber(i);
        }
        if (i < n && m_format.at(i) == QLatin1Char('.')) {
            ++i;
            if (i < n && m_format.at(i) == QLatin1Char('*')) {
                const FormatArg *arg = nextArg(0);
                missing |= !arg;
                const qint64 p = arg ? arg->toSigned() : -1;
                d.precision = p < 0 ? -1 : static_cast<int>(std::min<qint64>(p, kMaxWidth));
                ++i;
            } else {
                d.precision = readNumber(i);
            }
        }
        while (i < n && QByteArrayView("hlqLzjt").contains(m_format.at(i).toLatin1()) &&
               m_format.at(i).unicode() < 128) {
            d.length += m_format.at(i).toLatin1();
            ++i;
        }
        if (i >= n || m_format.at(i).unicode() >= 128)
            return -1;
        d.conversion = m_format.at(i).toLatin1();
        if (!QByteArrayView("@dDiuUoOxXfFeEgGsScCp").contains(d.conversion))
            return -1;
        const FormatArg *arg = nextArg(position);
        if (!arg || missing)
            m_out += QLatin1String(kMissingArgument);
        else
            write(d, *arg);
        return i + 1;
    }

    static QString character(quint64 code) {
        const char32_t c = static_cast<char32_t>(code);
        return QString::fromUcs4(&c, 1);
    }

    static QString pad(const QString &text, const Directive &d) {
        if (d.width <= text.size())
            return text;
        const QString fill(d.width - text.size(), QLatin1Char(' '));
        return d.flags.contains('-') ? text + fill : fill + text;
    }

    QString text(const Directive &d, const QString &value) const {
        return pad(d.precision >= 0 ? value.left(d.precision) : value, d);
    }

    QByteArray spec(const Directive &d, const char *length, char conversion) const {
        QByteArray out = "%" + d.flags;
        if (d.width >= 0)
            out += QByteArray::number(d.width);
        if (d.precision >= 0)
            out += "." + QByteArray::number(d.precision);
        return out + length + conversion;
    }

    void write(const Directive &d, const FormatArg &arg) {
        switch (d.conversion) {
        case '@':
        case 's':
        case 'S':
            m_out += text(d, arg.description());
            return;
        case 'c':
        case 'C':
            m_out += pad(arg.isNumeric() ? character(arg.toUnsigned())
                                         : arg.description().left(1),
                         d);
            return;
        default:
            break;
        }
        // A number directive given something that is not a number shows it rather than garbage.
        if (!arg.isNumeric()) {
            m_out += text(d, arg.description());
            return;
        }
        switch (d.conversion) {
        case 'd':
        case 'D':
        case 'i':
            m_out += QString::asprintf(spec(d, "ll", 'd').constData(), static_cast<long long>(arg.toSigned()));
            return;
        case 'p':
            m_out += QString::asprintf(spec(d, "ll", 'x').constData(),
                                       static_cast<unsigned long long>(arg.toUnsigned()))
                         .prepend(QStringLiteral("0x"));
            return;
        case 'u':
        case 'U':
        case 'o':
        case 'O':
        case 'x':
        case 'X': {
            quint64 value = arg.toUnsigned();
            // Without a long modifier the value is an unsigned int, as the platform reads it.
            if (d.length.isEmpty() && arg.kind() != FormatArg::Kind::Unsigned && arg.toSigned() < 0)
                value = static_cast<quint32>(value);
            const char conversion = (d.conversion == 'U') ? 'u' : (d.conversion == 'O') ? 'o' : d.conversion;
            m_out += QString::asprintf(spec(d, "ll", conversion).constData(),
                                       static_cast<unsigned long long>(value));
            return;
        }
        default:
            m_out += cDouble(spec(d, "", d.conversion), arg.toDouble());
            return;
        }
    }

    const QString &m_format;
    const QList<FormatArg> &m_args;
    qsizetype m_next = 0;
    QString m_out;
};

} // namespace

QString formatList(const QString &format, const QList<FormatArg> &args) {
    return Formatter(format, args).run();
}

} // namespace platform
