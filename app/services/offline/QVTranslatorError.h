#pragma once

#include "platform/Error.h"

#include "synaptra/SYNTranslatePhraseService.h"

// Errors of offline translation and the package checks, in "com.translator",
// and the engine's errors as application errors.
namespace QVTranslatorError {

inline constexpr const char *kDomain = "com.translator";

enum Code : qint64 {
    NotSupported = -202,   // no package of the kind for the language, or OCR data missing
    InvalidRequest = -203, // empty text, or a slot load for a language without its package
    NotInstalled = -204,   // the language's translation package can be downloaded
    SlotNotLoaded = 400,   // the slot a step needs does not hold the step's language
    Cancelled = -999,      // the language pair changed before the work ran
};

platform::Error error(qint64 code, const QString &description);
bool isCancellation(const platform::Error &error);

// Domain "SYNTranslatePhraseService", code 2041, "CodeONMT" the engine's status (a number) and
// "Error" its text; the engine's message as description. A null SYNError gives a null Error.
platform::Error fromEngineError(const SYNError &error);

} // namespace QVTranslatorError
