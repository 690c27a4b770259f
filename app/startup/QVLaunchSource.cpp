#include "startup/QVLaunchSource.h"

namespace QVLaunchSource {

QString sourceFor(const QStringList &arguments, const QProcessEnvironment &environment) {
    // The first argument is the program itself, never an option.
    const bool serviceArgument = arguments.mid(1).contains(QString::fromLatin1(kServiceArgument));
    const bool activated = !environment.value(QString::fromLatin1(kActivationVariable)).isEmpty();
    return QString::fromLatin1(serviceArgument || activated ? kService : kUser);
}

} // namespace QVLaunchSource
