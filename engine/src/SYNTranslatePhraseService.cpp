#include "synaptra/SYNTranslatePhraseService.h"

#include "EngineLog.h"
#include "EngineMessages.h"
#include "TextPieces.h"
#include "synaptra/quorvalde_c_translator.h"

#include <optional>
#include <string_view>
#include <vector>

namespace {

void report(SYNError *out, const SYNError &error) {
    if (out != nullptr)
        *out = error;
}

// Pieces are halved no further than this when a translation outgrows the buffer.
constexpr size_t kSmallestPieceBytes = 256;

std::optional<std::string> translatePieces(const SYNTranslatePhraseService &service,
                                           const std::vector<synaptra::TextPiece> &pieces, int index,
                                           SYNError *error);

// One engine call; a result too large for the engine's buffer is retried as two halves.
std::optional<std::string> translatePiece(const SYNTranslatePhraseService &service, std::string_view text,
                                          int index, SYNError *error) {
    std::vector<char> source(text.begin(), text.end());
    source.push_back('\0');
    std::vector<char> result(kQuorvaldeBufferSize, '\0');
    std::vector<char> errorBuffer(kQuorvaldeBufferSize, '\0');
    const int code = translateQuorvalde(source.data(), result.data(), index, errorBuffer.data());
    synaptra::engineLog("translate = ", code);
    if (code == 0)
        return std::string(result.data());

    // A translation longer than the buffer: the two halves fit where the whole did not.
    const bool tooLarge =
        code == 5 && std::string_view(errorBuffer.data()).rfind(synaptra::kResultTooLarge, 0) == 0;
    if (tooLarge && text.size() >= 2 * kSmallestPieceBytes)
        return translatePieces(service, synaptra::splitIntoPieces(text, text.size() / 2 + 1), index, error);
    report(error, service.errorWithCode(code, errorBuffer.data()));
    return std::nullopt;
}

// The pieces' translations joined by the whitespace between them; like the engine's result,
// the whole does not end with the whitespace that ended the text.
std::optional<std::string> translatePieces(const SYNTranslatePhraseService &service,
                                           const std::vector<synaptra::TextPiece> &pieces, int index,
                                           SYNError *error) {
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::optional<std::string> part = translatePiece(service, pieces[i].text, index, error);
        if (!part)
            return std::nullopt;
        joined += *part;
        if (i + 1 < pieces.size())
            joined += pieces[i].after;
    }
    return joined;
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
    const std::string_view source(text.c_str());
    if (source.size() <= kPieceBytes)
        return translatePiece(*this, source, index, error).value_or(std::string());

    // A long text goes piece by piece, each piece's result within the engine's buffer. A blank
    // one still goes to the engine, which reports it as empty.
    const std::vector<synaptra::TextPiece> pieces = synaptra::splitIntoPieces(source, kPieceBytes);
    if (pieces.empty())
        return translatePiece(*this, {}, index, error).value_or(std::string());
    return translatePieces(*this, pieces, index, error).value_or(std::string());
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
