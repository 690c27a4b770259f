#pragma once

#include "FormatArg.h"

#include <QList>
#include <QString>

namespace platform {

// printf-style formatting with the platform's "%@" for objects:
//   %@         the argument's description (strings bare, collections as "{...}" / "(...)", nil "(null)")
//   %d %i %ld %lld %hd %zd   signed integers     %u %lu %llu %zu   unsigned integers
//   %x %X %o   unsigned hex / octal              %f %e %g %.Nf     doubles (always with a '.')
//   %s %S      text                              %c                one character
//   %%         a percent sign                    %1$@, %2$d ...    positional arguments
// Flags "-+ 0#", a width and a precision work as in printf; "*" takes them from
// the arguments. A directive without its argument prints kMissingArgument
// instead; extra arguments are ignored; an unknown directive is copied as it is.
inline constexpr const char *kMissingArgument = "(missing argument)";

QString formatList(const QString &format, const QList<FormatArg> &args);

template <typename... Args> QString format(const QString &format, const Args &...args) {
    return formatList(format, QList<FormatArg>{FormatArg(args)...});
}

} // namespace platform
