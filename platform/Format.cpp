#include "Format.h"

#include <QByteArray>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <locale.h>

namespace platform {
namespace {

// Keeps a hostile width or precision from allocating without bound.
constexpr int kMaxWidth = 4096;

// Numbers go through the C library in the "C" locale, so every directive prints
// exactly as printf does and the decimal point is '.' whatever the user's locale.
template <typename T> QString cPrint(const QByteArray &spec, T value) {
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
    int position = 0; // 1-based for "%2$d", 0 for the next argument
    QByteArray flags;
    int width = -1;
    bool widthFromArgument = false;
    int widthPosition = 0; // "*2$": the width is argument 2
    int precision = -1;
    bool precisionFromArgument = false;
    int precisionPosition = 0;
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
            if (i + 1 < n && m_format.at(i + 1) == QLatin1Char('%')) {
                m_out += c;
                i += 2;
                continue;
            }
            Directive d;
            const qsizetype end = parse(i, d);
            if (end < 0) {
                // Not a conversion: copy the '%' as text and go on after it, using no argument.
                m_out += c;
                ++i;
                continue;
            }
            print(d);
            i = end;
        }
        return m_out;
    }

private:
    QChar at(qsizetype i) const { return i < m_format.size() ? m_format.at(i) : QChar(); }
    bool isAsciiIn(qsizetype i, const char *set) const {
        const QChar c = at(i);
        return !c.isNull() && c.unicode() < 128 &&
               QByteArrayView(set).contains(static_cast<char>(c.unicode()));
    }
    bool isDigit(qsizetype i) const { return isAsciiIn(i, "0123456789"); }

    int readNumber(qsizetype &i) const {
        int value = 0;
        while (isDigit(i)) {
            value = std::min(value * 10 + (at(i).unicode() - '0'), kMaxWidth);
            ++i;
        }
        return value;
    }

    // After a '*': an optional "N$" naming the argument, as in "%1$*2$d". False for "0$".
    bool readArgumentPosition(qsizetype &i, int &position) const {
        qsizetype probe = i;
        const int number = readNumber(probe);
        if (probe == i || at(probe) != QLatin1Char('$'))
            return true;
        if (number == 0)
            return false;
        position = number;
        i = probe + 1;
        return true;
    }

    // Reads the directive at `start` (its '%') without touching any argument; returns
    // the index after it, or -1 when the text there is no conversion.
    qsizetype parse(qsizetype start, Directive &d) const {
        qsizetype i = start + 1;
        qsizetype probe = i;
        const int number = readNumber(probe);
        if (probe > i && at(probe) == QLatin1Char('$')) {
            if (number == 0)
                return -1;
            d.position = number;
            i = probe + 1;
        }
        while (isAsciiIn(i, "-+ 0#'")) {
            if (at(i) != QLatin1Char('\''))
                d.flags += static_cast<char>(at(i).unicode());
            ++i;
        }
        if (at(i) == QLatin1Char('*')) {
            d.widthFromArgument = true;
            if (!readArgumentPosition(++i, d.widthPosition))
                return -1;
        } else if (isDigit(i)) {
            d.width = readNumber(i);
        }
        if (at(i) == QLatin1Char('.')) {
            ++i;
            if (at(i) == QLatin1Char('*')) {
                d.precisionFromArgument = true;
                if (!readArgumentPosition(++i, d.precisionPosition))
                    return -1;
            } else {
                d.precision = readNumber(i);
            }
        }
        while (isAsciiIn(i, "hlqLzjt")) {
            d.length += static_cast<char>(at(i).unicode());
            ++i;
        }
        if (!isAsciiIn(i, "@dDiuUoOxXfFeEgGsScCp"))
            return -1;
        d.conversion = static_cast<char>(at(i).unicode());
        return i + 1;
    }

    const FormatArg *nextArg(int position) {
        const qsizetype index = position > 0 ? position - 1 : m_next++;
        if (index < 0 || index >= m_args.size())
            return nullptr;
        return &m_args.at(index);
    }

    // Arguments are taken only now that the directive is known to be one: "*" width,
    // "*" precision, then the value, as printf takes them.
    void print(Directive d) {
        bool missing = false;
        if (d.widthFromArgument) {
            const FormatArg *arg = nextArg(d.widthPosition);
            missing |= !arg;
            const qint64 w = arg ? arg->toSigned() : 0;
            if (w < 0)
                d.flags += '-';
            // Negated only once known to be small: -INT64_MIN does not exist.
            const qint64 magnitude = w < -kMaxWidth ? kMaxWidth : (w < 0 ? -w : w);
            d.width = static_cast<int>(std::min<qint64>(magnitude, kMaxWidth));
        }
        if (d.precisionFromArgument) {
            const FormatArg *arg = nextArg(d.precisionPosition);
            missing |= !arg;
            const qint64 p = arg ? arg->toSigned() : -1;
            d.precision = p < 0 ? -1 : static_cast<int>(std::min<qint64>(p, kMaxWidth));
        }
        const FormatArg *arg = nextArg(d.position);
        if (!arg || missing)
            m_out += QLatin1String(kMissingArgument);
        else
            write(d, *arg);
    }

    // The first `units` UTF-16 units of `text`, one fewer rather than half a surrogate pair.
    static QString leftWhole(const QString &text, qsizetype units) {
        if (units >= text.size())
            return text;
        if (units > 0 && text.at(units - 1).isHighSurrogate() && text.at(units).isLowSurrogate())
            --units;
        return text.left(units);
    }

    static QString character(quint64 code) {
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return QString(QChar::ReplacementCharacter);
        const char32_t c = static_cast<char32_t>(code);
        return QString::fromUcs4(&c, 1);
    }

    static QString firstCharacter(const QString &text) {
        return leftWhole(text, text.size() > 1 && text.at(0).isHighSurrogate() ? 2 : 1);
    }

    static QString pad(const QString &text, const Directive &d) {
        if (d.width <= text.size())
            return text;
        const QString fill(d.width - text.size(), QLatin1Char(' '));
        return d.flags.contains('-') ? text + fill : fill + text;
    }

    QString text(const Directive &d, const QString &value) const {
        return pad(d.precision >= 0 ? leftWhole(value, d.precision) : value, d);
    }

    static QByteArray spec(const Directive &d, const QByteArray &flags, const char *length, char conversion) {
        QByteArray out = "%" + flags;
        if (d.width >= 0)
            out += QByteArray::number(d.width);
        if (d.precision >= 0)
            out += "." + QByteArray::number(d.precision);
        return out + length + conversion;
    }
    static QByteArray spec(const Directive &d, const char *length, char conversion) {
        return spec(d, d.flags, length, conversion);
    }

    void write(const Directive &d, const FormatArg &arg) {
        switch (d.conversion) {
        case '@':
        case 's':
        case 'S':
            m_out += text(d, arg.description());
            return;
        case 'c':
        case 'C': {
            const QString one = !arg.isNumeric()    ? firstCharacter(arg.description())
                                : arg.isNonFinite() ? QString(QChar::ReplacementCharacter)
                                                    : character(arg.toUnsigned());
            m_out += pad(one, d);
            return;
        }
        default:
            break;
        }
        // A number directive given something that is not a number shows it rather than garbage.
        if (!arg.isNumeric()) {
            m_out += text(d, arg.description());
            return;
        }
        const bool integral = !QByteArrayView("fFeEgG").contains(d.conversion);
        if (integral && arg.isNonFinite()) {
            // No integer holds NaN or an infinity: print it as printf's floating directives do.
            const char conversion = d.conversion == 'X' ? 'F' : 'f';
            m_out += cPrint(spec(d, "", conversion), arg.toDouble());
            return;
        }
        switch (d.conversion) {
        case 'd':
        case 'D':
        case 'i': {
            long long value = arg.toSigned();
            // "h" and "hh" print the value as a short or a char, as printf converts it.
            if (d.length == "h")
                value = static_cast<short>(value);
            else if (d.length == "hh")
                value = static_cast<signed char>(value);
            m_out += cPrint(spec(d, "ll", 'd'), value);
            return;
        }
        case 'p': {
            // printf pads the whole "0x..." of a pointer; '#' means nothing to it.
            QByteArray flags = d.flags;
            flags.replace('#', QByteArray());
            const auto pointer = reinterpret_cast<void *>(static_cast<std::uintptr_t>(arg.toUnsigned()));
            m_out += cPrint(spec(d, flags, "", 'p'), pointer);
            return;
        }
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
            else if (d.length == "h")
                value = static_cast<unsigned short>(value);
            else if (d.length == "hh")
                value = static_cast<unsigned char>(value);
            const char conversion = (d.conversion == 'U') ? 'u' : (d.conversion == 'O') ? 'o' : d.conversion;
            m_out += cPrint(spec(d, "ll", conversion), static_cast<unsigned long long>(value));
            return;
        }
        default:
            m_out += cPrint(spec(d, "", d.conversion), arg.toDouble());
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
