#pragma once

#include "core/models/QVLanguageRealm.h"

#include <QList>

// The language a picture's text is read in, and the pair it is translated with.
// Offline, text is read only in a language whose recognition data this computer
// holds; online the backend reads the languages its catalogue marks for pictures.
//
//   const bool online = QVEnvironment::isNetworkAvailable();
//   QVLanguageRealm text = QVPhotoLanguages::defaultTextLanguage(settings.languageFrom(), online);
//   QVPhotoLanguages::Pair pair = QVPhotoLanguages::pairFor(text, settings.languageFrom(),
//                                                           settings.languageTo());
//   service.setLanguages(pair.from, pair.to);
class QVPhotoLanguages {
public:
    struct Pair {
        QVLanguageRealm from;
        QVLanguageRealm to;
    };

    // Whether this computer holds the language's recognition data (in the recognition folder).
    static bool hasRecognitionData(const QVLanguageRealm &language);
    // The source language when its text can be read; else English (the catalogue's default
    // language) when it can; else the source, whose failure then says what is missing.
    static QVLanguageRealm defaultTextLanguage(const QVLanguageRealm &source, bool online);
    // The catalogue's languages a picture's text can be read in now, in catalogue order, with
    // `chosen` among them even when it cannot be read.
    static QList<QVLanguageRealm> choices(const QVLanguageRealm &chosen, bool online);
    // From the text's language into the target; a text already in the target's language goes
    // into the source language instead (an English picture with German to English set becomes
    // German). An automatic source never becomes a target.
    static Pair pairFor(const QVLanguageRealm &text, const QVLanguageRealm &source,
                        const QVLanguageRealm &target);

    QVPhotoLanguages() = delete;
};
