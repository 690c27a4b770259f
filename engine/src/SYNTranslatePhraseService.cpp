#include "synaptra/SYNTranslatePhraseService.h"

#include "EngineLog.h"
#include "synaptra/quorvalde_c_translator.h"

#include <vector>

namespace {

void report(SYNError *out, const SYNError &error) {
    if (out != nullptr)
        *out = error;
}

} // namespace

bool SYNTranslatePhraseService::initBothWithFirstModelDirPath(
    const std::string &firstModelDirPath, const std::string &firstFromModelPath,
    const std::string &firstToModelPath, const std::string &secondModelDirPath,
    const std::string &secondFromModelPath, const std::string &secondToModelPath, SYNError *error) {
    return setFirstWithModelDirPath(firstModelDirPath, firstFromModelPath, firstToModelPath, error) &&
           setSecondWithModelDirPath(secondModelDirPath, secondFromModelPath, secondToModelPath, error);
}

bool SYNTranslatePhraseService::setFirstWithModelDirPath(const std::string &modelDirPath,
                                                         const std::string &fromModelPath,
                                                         const std::string &toModelPath, SYNError *error) {
    return initWithModelDirPath(modelDirPath, fromModelPath, toModelPath, 1, error);
}

bool SYNTranslatePhraseService::setSecondWithModelDirPath(const std::string &modelDirPath,
                                                          const std::string &fromModelPath,
                                                          const std::string &toModelPath, SYNError *error) {
    return initWithModelDirPath(modelDirPath, fromModelPath, toModelPath, 2, error);
}

std::string SYNTranslatePhraseService::translatedTextForFirstPairFromText(const std::string &text,
                                                                          SYNError *error,
                                                                          std::string *unknownWords) {
    return translatedTextFromText(text, 1, error, unknownWords);
}

std::string SYNTranslatePhraseService::translatedTextForSecondPairFromText(const std::string &text,
                                                                           SYNError *error,
                                                                           std::string *unknownWords) {
    return translatedTextFromText(text, 2, error, unknownWords);
}

bool SYNTranslatePhraseService::deallocCustomForFirstPairError(SYNError *error) {
    return deallocCustomForIndex(1, error);
}

bool SYNTranslatePhraseService::deallocCustomForSecondPairError(SYNError *error) {
    return deallocCustomForIndex(2, error);
}

bool SYNTranslatePhraseService::initWithModelDirPath(const std::string &modelDirPath,
                                                     const std::string &fromModelPath,
                                                     const std::string &toModelPath, int index,
                                                     SYNError *error) {
    std::vector<char> errorBuffer(kQuorvaldeBufferSize, '\0');
    synaptra::engineLog("index:  ", index);
    const int code = initQuorvalde(modelDirPath.c_str(), fromModelPath.c_str(), toModelPath.c_str(), index,
                                   errorBuffer.data());
    synaptra::engineLog("Init = ", code);
    if (code == 0)
        return true;
    report(error, errorWithCode(code, errorBuffer.data()));
    return false;
}

std::string SYNTranslatePhraseService::translatedTextFromText(const std::string &text, int index,
                                                              SYNError *error, std::string *) {
    // The engine reads a NUL-terminated string: text with inner NULs ends at the first one.
    std::vector<char> source(text.begin(), text.end());
    source.push_back('\0');
    std::vector<char> result(kQuorvaldeBufferSize, '\0');
    std::vector<char> errorBuffer(kQuorvaldeBufferSize, '\0');
    const int code = translateQuorvalde(source.data(), result.data(), index, errorBuffer.data());
    synaptra::engineLog("translate = ", code);
    if (code != 0) {
        report(error, errorWithCode(code, errorBuffer.data()));
        return {};
    }
    return result.data();
}

bool SYNTranslatePhraseService::deallocCustomForIndex(int index, SYNError *error) {
    std::vector<char> errorBuffer(kQuorvaldeBufferSize, '\0');
    const int code = closeQuorvalde(index, errorBuffer.data());
    synaptra::engineLog("close = ", code);
    if (code == 0)
        return true;
    report(error, errorWithCode(code, errorBuffer.data()));
    return false;
}

SYNError SYNTranslatePhraseService::errorWithCode(int code, const std::string &description) const {
    SYNError error;
    error.domain = className();
    error.code = kErrorCode;
    error.description = description;
    error.codeONMT = code;
    error.userInfo[kErrorKey] = kErrorValue;
    error.userInfo[kCodeKey] = std::to_string(code);
    synaptra::engineLog(error.domain, " ", error.code, " ", error.description);
    return error;
}
