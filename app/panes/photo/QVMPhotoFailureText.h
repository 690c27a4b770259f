#pragma once

#include "core/models/QVLanguageRealm.h"
#include "platform/Error.h"

#include <QCoreApplication>
#include <QString>

// What the photo window says after "The picture could not be translated.": the
// missing piece in words (the recognition data of the picture's language, the
// recogniser itself), never a folder, a file or an error number.
//
//   line += ' ' + QVMPhotoFailureText::failureText(error, textLanguage);
class QVMPhotoFailureText {
    Q_DECLARE_TR_FUNCTIONS(QVMPhotoFailureText)
public:
    // Empty when the failure has nothing to tell a user.
    static QString failureText(const platform::Error &error, const QVLanguageRealm &textLanguage);

    QVMPhotoFailureText() = delete;
};
