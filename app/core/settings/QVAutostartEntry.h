#pragma once

#include "platform/Error.h"

#include <QString>

// The desktop's autostart entry that starts the program as a background
// service at login ("quorvalde-translator.desktop" in AppPaths::autostart()).
//
//   if (platform::Error error = QVAutostartEntry::setEnabled(true))
//       QVMUtils::showErrorAlertWithMessage(error.localizedDescription());
class QVAutostartEntry {
public:
    static constexpr const char *kFileName = "quorvalde-translator.desktop";
    static constexpr const char *kExec = "quorvalde-translator --service";
    static constexpr const char *kErrorDomain = "QVAutostartEntry";
    enum ErrorCode { CannotWrite = 1, CannotRemove = 2 };

    static QString path();
    static bool isInstalled();
    // Writes or removes the entry; an error says why it could not.
    static platform::Error setEnabled(bool enabled);
    // The entry's text.
    static QByteArray contents();

    QVAutostartEntry() = delete;
};
