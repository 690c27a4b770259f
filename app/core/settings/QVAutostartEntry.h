#pragma once

#include "platform/Error.h"

#include <QString>

// The desktop's autostart entry that starts the program as a background
// service at login ("quorvalde-translator.desktop" in AppPaths::autostart()). Its
// command is the running program, so that a copy run from its build folder starts itself.
//
//   if (platform::Error error = QVAutostartEntry::setEnabled(true))
//       QVMUtils::showErrorAlertWithMessage(error.localizedDescription());
class QVAutostartEntry {
public:
    static constexpr const char *kFileName = "quorvalde-translator.desktop";
    static constexpr const char *kServiceOption = "--service";
    static constexpr const char *kErrorDomain = "QVAutostartEntry";
    enum ErrorCode { CannotWrite = 1, CannotRemove = 2 };

    static QString path();
    static bool isInstalled();
    // Writes or removes the entry; an error says why it could not.
    static platform::Error setEnabled(bool enabled);
    // The entry's text, for the running program and the PATH of the environment.
    static QByteArray contents();
    // Exec= starts `program` as a service: by its bare name when PATH (a colon-separated
    // list) finds that very file under it, else by its absolute path, quoted as the desktop
    // entry format asks.
    static QByteArray contents(const QString &program, const QString &path);

    QVAutostartEntry() = delete;
};
