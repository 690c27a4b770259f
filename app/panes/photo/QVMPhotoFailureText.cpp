#include "QVMPhotoFailureText.h"

#include "QVMPhotoRecognitionController.h"

#include "services/ocr/QVRecognitionOperation.h"

QString QVMPhotoFailureText::failureText(const platform::Error &error, const QVLanguageRealm &textLanguage) {
    if (error.isNull())
        return {};
    if (error.domain() == QLatin1String(QVRecognitionOperation::kErrorDomain)) {
        const QString language = textLanguage.isNull() || textLanguage.languageName().isEmpty()
                                     ? tr("this language")
                                     : textLanguage.languageName();
        switch (error.code()) {
        case QVRecognitionOperation::LanguageDataMissing:
            return tr("Text in %1 cannot be read on this computer: its picture package is not installed. "
                      "Choose the language of the picture's text below, or download %1 for pictures in "
                      "Settings, Offline packages.")
                .arg(language);
        case QVRecognitionOperation::EngineFailed:
            return tr("The text recognition could not start on this computer.");
        case QVRecognitionOperation::UnreadablePicture:
            return QString::fromLatin1(QVMPhotoRecognitionController::kUnreadablePicture);
        default:
            return {};
        }
    }
    // The generic description names only a domain and a number: nothing a user can act on.
    const QString description = error.localizedDescription();
    return description == platform::Error(error.domain(), error.code()).localizedDescription() ? QString()
                                                                                               : description;
}
