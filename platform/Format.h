#pragma once

#include "FormatArg.h"

#include <QList>
#include <QString>

namespace platform {

// printf-style formatting with the platform's "%@" for objects:
//   %@         the argument's description (strings bare, collections as "{...}" / "(...)", nil "(null)")
//   %d %i %ld %lld %hd %zd   signed integers     %u %lu %llu %zu   unsigned integers
//   %x %X %o   unsigned hex / octal              %f %e %g %.Nf     doubles (always with a '.')
//   %s %S      text                              %c                one character (never half an emoji)
//   %p         a pointer, as printf prints it    %%                a percent sign
//   %1$@, %2$d, %1$*2$d ...  positional arguments, also for a "*" width or precision
// Numbers print exactly as the C library's printf prints the same directive and flags
// ("-+ 0#", width, precision; "*" takes them from the arguments). Values keep their
// 64 bits, but "h" and "hh" narrow to a short or a char as printf does; an integer
// directive given NaN or an infinity prints "nan" / "inf", and a floating value beyond
// 64 bits clamps. "%.N@" cuts text at N UTF-16 units, one fewer rather than through a
// surrogate pair.
// A directive without its argument prints kMissingArgument instead; extra arguments are
// ignored. Text after a '%' that is no conversion ("10% off") is copied as it is and
// uses no argument.
inline constexpr const char *kMissingArgument = "(missing argument)";

QString formatList(const QString &format, const QList<FormatArg> &args);

template <typename... Args> QString format(const QString &format, const Args &...args) {
    return formatList(format, QList<FormatArg>{FormatArg(args)...});
}

} // namespace platform
