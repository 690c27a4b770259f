#include "EncryptedTokenizer.h"

#include "EngineLog.h"
#include "synaptra/TokenizerCipher.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>

namespace synaptra {

const unsigned char key[32] = {0x3f, 0x9a, 0x61, 0xc0, 0x8e, 0x2d, 0x74, 0xb5, 0xa1, 0xc6, 0xe9,
                               0x3f, 0x0d, 0x58, 0xb2, 0x7e, 0x64, 0xa0, 0xf1, 0xd9, 0xc3, 0xb8,
                               0x72, 0x5e, 0x0a, 0x4d, 0x96, 0xf1, 0xb2, 0xc7, 0xe8, 0x53};
const unsigned char iv[16] = {0xd4, 0x1e, 0x8b, 0x72, 0x05, 0xc9, 0x3f, 0xa6,
                              0xe1, 0x7b, 0x3c, 0x09, 0x48, 0xaf, 0x5d, 0x62};
const unsigned char salt[8] = {0x8c, 0x27, 0xf0, 0xa4, 0xe5, 0xb9, 0x13, 0xd6};

namespace {

constexpr size_t kBlock = 16;
constexpr size_t kHeader = 16;

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

bool runCipher(bool encrypt, const std::string &in, std::string &out) {
    if (in.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return false;
    CipherContext ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key, iv, encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        return false;
    out.assign(in.size() + kBlock, '\0');
    int written = 0, finalWritten = 0;
    auto *dst = reinterpret_cast<unsigned char *>(out.data());
    if (EVP_CipherUpdate(ctx.get(), dst, &written, reinterpret_cast<const unsigned char *>(in.data()),
                         static_cast<int>(in.size())) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), dst + written, &finalWritten) != 1)
        return false;
    out.resize(static_cast<size_t>(written + finalWritten));
    return true;
}

} // namespace

std::string encryptTokenizerModel(const std::string &serializedModel) {
    std::string plain(kHeader, '\0');
    const auto n = static_cast<uint32_t>(serializedModel.size());
    for (int i = 0; i < 4; ++i)
        plain[static_cast<size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xFF);
    plain += serializedModel;
    plain.resize((plain.size() + kBlock - 1) / kBlock * kBlock, '\0');
    std::string cipher;
    if (!runCipher(true, plain, cipher))
        return {};
    return cipher;
}

bool decryptTokenizerFile(const std::string &file, std::string &serializedModel, std::string &error) {
    if (file.size() < kHeader || file.size() % kBlock != 0) {
        error = "Encrypted tokenizer of " + std::to_string(file.size()) +
                " bytes: the length must be a positive multiple of 16";
        return false;
    }
    std::string plain;
    if (!runCipher(false, file, plain) || plain.size() != file.size()) {
        error = "Tokenizer decryption failed";
        return false;
    }
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<uint32_t>(static_cast<unsigned char>(plain[static_cast<size_t>(i)])) << (8 * i);
    if (n > plain.size() - kHeader) {
        error = "Tokenizer length field " + std::to_string(n) + " runs past the " +
                std::to_string(plain.size()) + "-byte file";
        return false;
    }
    serializedModel.assign(plain, kHeader, n);
    return true;
}

sentencepiece::util::Status loadEncryptedTokenizer(sentencepiece::SentencePieceProcessor &processor,
                                                   const std::string &path) {
    using sentencepiece::util::Status;
    using sentencepiece::util::StatusCode;
    engineLog("Load model file ", path);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int err = errno;
        return Status(err == ENOENT ? StatusCode::kNotFound : StatusCode::kPermissionDenied,
                      "\"" + path + "\": " + std::strerror(err));
    }
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    if (length < 0 || !in)
        return Status(StatusCode::kInternal, "Cannot read \"" + path + "\"");
    if (length > std::numeric_limits<int>::max())
        return Status(StatusCode::kInvalidArgument, "\"" + path + "\" is too large for a tokenizer");
    std::string file(static_cast<size_t>(length), '\0');
    if (!in.read(file.data(), length))
        return Status(StatusCode::kInternal, "Cannot read \"" + path + "\"");
    engineLog("ReadBinary length ", length);

    std::string model, error;
    if (!decryptTokenizerFile(file, model, error))
        return Status(StatusCode::kDataLoss, "\"" + path + "\": " + error);
    engineLog("LoadFromSerialized", model.size());
    return processor.LoadFromSerializedProto(model);
}

} // namespace synaptra
