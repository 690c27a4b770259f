#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// How the program was started, for the "source" of the "App Open" and
// "App Close" events: "service" when the session bus started it (D-Bus
// activation sets DBUS_STARTER_BUS_TYPE) or a desktop service entry ran it
// with --service, else "user".
namespace QVLaunchSource {

inline constexpr const char *kService = "service";
inline constexpr const char *kUser = "user";
inline constexpr const char *kServiceArgument = "--service";
inline constexpr const char *kActivationVariable = "DBUS_STARTER_BUS_TYPE";

QString sourceFor(const QStringList &arguments, const QProcessEnvironment &environment);

} // namespace QVLaunchSource
