// The engine's service class: loads, translates with and releases the two translator slots.
//
// Thread safety: instances hold no state; every method reaches the process-wide slots without a
// lock. Calls on all instances must be serialised (one worker thread, or one at a time); any
// thread may make them. Every call blocks until the engine is done.
#pragma once

#include "synaptra/Export.h"

#include <cstddef>
#include <map>
#include <string>

// Engine failure: domain is the service's class name, code 2041, the engine status in codeONMT.
struct SYNAPTRA_EXPORT SYNError {
    std::string domain;
    long code = 0;
    std::string description;
    // "Error" -> "Invalid response", "CodeONMT" -> the engine status in decimal.
    std::map<std::string, std::string> userInfo;
    int codeONMT = 0;

    bool isError() const { return code != 0; }
    explicit operator bool() const { return isError(); }
};

class SYNAPTRA_EXPORT SYNTranslatePhraseService {
public:
    static constexpr long kErrorCode = 2041;
    static constexpr const char *kCodeKey = "CodeONMT";
    static constexpr const char *kErrorKey = "Error";
    static constexpr const char *kErrorValue = "Invalid response";
    // Longest text given to the engine in one call: its translation must fit the engine's buffer.
    static constexpr size_t kPieceBytes = 8000;

    SYNTranslatePhraseService() = default;
    virtual ~SYNTranslatePhraseService() = default;

    // Loads both slots; slot 2 only when slot 1 succeeds (slot 1 stays loaded when slot 2 fails).
    bool initBothWithFirstModelDirPath(const std::string &firstModelDirPath,
                                       const std::string &firstFromModelPath,
                                       const std::string &firstToModelPath,
                                       const std::string &secondModelDirPath,
                                       const std::string &secondFromModelPath,
                                       const std::string &secondToModelPath, SYNError *error);

    bool setFirstWithModelDirPath(const std::string &modelDirPath, const std::string &fromModelPath,
                                  const std::string &toModelPath, SYNError *error);
    bool setSecondWithModelDirPath(const std::string &modelDirPath, const std::string &fromModelPath,
                                   const std::string &toModelPath, SYNError *error);

    // Empty result and `error` set on failure; `unknownWords` is never written. Texts of any
    // length: longer ones are translated in pieces of at most kPieceBytes, cut at paragraph
    // breaks where possible, and joined with the whitespace that separated them.
    std::string translatedTextForFirstPairFromText(const std::string &text, SYNError *error,
                                                   std::string *unknownWords);
    std::string translatedTextForSecondPairFromText(const std::string &text, SYNError *error,
                                                    std::string *unknownWords);

    bool deallocCustomForFirstPairError(SYNError *error);
    bool deallocCustomForSecondPairError(SYNError *error);

    bool initWithModelDirPath(const std::string &modelDirPath, const std::string &fromModelPath,
                              const std::string &toModelPath, int index, SYNError *error);
    std::string translatedTextFromText(const std::string &text, int index, SYNError *error,
                                       std::string *unknownWords);
    bool deallocCustomForIndex(int index, SYNError *error);

    SYNError errorWithCode(int code, const std::string &description) const;

protected:
    // The error domain; subclasses report their own name.
    virtual std::string className() const { return "SYNTranslatePhraseService"; }
};
