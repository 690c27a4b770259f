#include "services/photo/QVPhotoLanguages.h"

#include "core/models/QVPackageFolders.h"
#include "services/languages/QVLanguageService.h"
#include "services/ocr/QVRecognitionOperation.h"

#include <algorithm>

namespace {

bool sameLanguage(const QVLanguageRealm &a, const QVLanguageRealm &b) {
    return !a.isNull() && !b.isNull() && !a.languageString().isEmpty() &&
           a.languageString() == b.languageString();
}

bool marksPictures(const QVLanguageRealm &language) {
    const QVLanguageMode modes = language.languageModes();
    return !modes.isNull() && (modes.imageRecognition() || modes.imageObjectRecognition());
}

} // namespace

bool QVPhotoLanguages::hasRecognitionData(const QVLanguageRealm &language) {
    if (language.isNull() || language.tesseractLanguageCode().isEmpty())
        return false;
    return QVRecognitionOperation::hasLanguageData(
        language.tesseractLanguageCode(),
        QVPackageFolders::unpackFolderForType(QString::fromLatin1(QVPackageFolders::kOcrType)));
}

QVLanguageRealm QVPhotoLanguages::defaultTextLanguage(const QVLanguageRealm &source, bool online) {
    // The backend reads what the user set; only offline recognition depends on installed data.
    if (online || hasRecognitionData(source))
        return source;
    const QVLanguageRealm english = QVLanguageService::defaultLanguage();
    if (hasRecognitionData(english))
        return english;
    return source;
}

QList<QVLanguageRealm> QVPhotoLanguages::choices(const QVLanguageRealm &chosen, bool online) {
    const QList<QVLanguageRealm> all = QVLanguageService::allLanguagesWithoutAutoDetection();
    // A catalogue that marks no language for pictures (an old list) lets the backend try any.
    const bool anyMarked = std::any_of(all.begin(), all.end(), marksPictures);
    QList<QVLanguageRealm> readable;
    for (const QVLanguageRealm &language : all) {
        const bool shown = language.localeIdentifier() == chosen.localeIdentifier() ||
                           (online ? !anyMarked || marksPictures(language) : hasRecognitionData(language));
        if (shown)
            readable.append(language);
    }
    if (!chosen.isNull() &&
        std::none_of(readable.begin(), readable.end(), [&](const QVLanguageRealm &language) {
            return language.localeIdentifier() == chosen.localeIdentifier();
        }))
        readable.prepend(chosen);
    return readable;
}

QVPhotoLanguages::Pair QVPhotoLanguages::pairFor(const QVLanguageRealm &text, const QVLanguageRealm &source,
                                                 const QVLanguageRealm &target) {
    if (sameLanguage(text, target) && !source.isAuto() && !sameLanguage(source, target))
        return {text, source};
    return {text, target};
}
