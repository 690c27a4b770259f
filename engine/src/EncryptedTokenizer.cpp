#include "EncryptedTokenizer.h"

#include "EngineLog.h"
#include "synaptra/TokenizerCipher.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

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
// Tokenizer models are a few megabytes at most; a larger length field is damage.
constexpr uint32_t kMaxModelBytes = 64u << 20;

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

// Decrypts whole blocks in place (CBC allows it), from the start of the file.
bool decryptInPlace(std::string &buffer) {
    if (buffer.size() % kBlock != 0 || buffer.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return false;
    CipherContext ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key, iv) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        return false;
    auto *data = reinterpret_cast<unsigned char *>(buffer.data());
    int written = 0;
    return EVP_DecryptUpdate(ctx.get(), data, &written, data, static_cast<int>(buffer.size())) == 1 &&
           static_cast<size_t>(written) == buffer.size();
}

uint32_t lengthField(const std::string &plain) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<uint32_t>(static_cast<unsigned char>(plain[static_cast<size_t>(i)])) << (8 * i);
    return n;
}

std::string wrongLength(uint64_t size) {
    return "Encrypted tokenizer of " + std::to_string(size) +
           " bytes: the length must be a positive multiple of 16";
}

std::string lengthPastEnd(uint32_t n, uint64_t size) {
    return "Tokenizer length field " + std::to_string(n) + " runs past the " + std::to_string(size) +
           "-byte file";
}

struct FileDescriptor {
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    int fd;
};

// Fills `buffer` from `offset`; false on an error or a file shorter than the buffer.
bool readAt(int fd, uint64_t offset, std::string &buffer) {
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got =
            ::pread(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
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
        error = wrongLength(file.size());
        return false;
    }
    std::string plain;
    if (!runCipher(false, file, plain) || plain.size() != file.size()) {
        error = "Tokenizer decryption failed";
        return false;
    }
    const uint32_t n = lengthField(plain);
    if (n > plain.size() - kHeader) {
        error = lengthPastEnd(n, plain.size());
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
    // Non-blocking, so that opening a FIFO never waits for a writer; only regular files are read.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.fd < 0) {
        const int err = errno;
        return Status(err == ENOENT ? StatusCode::kNotFound : StatusCode::kPermissionDenied,
                      "\"" + path + "\": " + std::strerror(err));
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return Status(StatusCode::kInternal, "Cannot read \"" + path + "\": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return Status(StatusCode::kInvalidArgument, "\"" + path + "\" is not a regular file");
    const auto size = static_cast<uint64_t>(info.st_size);
    engineLog("ReadBinary length ", size);
    if (size < kHeader || size % kBlock != 0)
        return Status(StatusCode::kDataLoss, "\"" + path + "\": " + wrongLength(size));

    // The first block alone gives the length field: a damaged file is refused before the rest
    // of it is read, and only the blocks holding the model are read and decrypted.
    std::string plain(kBlock, '\0');
    if (!readAt(file.fd, 0, plain) || !decryptInPlace(plain))
        return Status(StatusCode::kInternal, "Cannot read \"" + path + "\"");
    const uint32_t n = lengthField(plain);
    if (n > size - kHeader)
        return Status(StatusCode::kDataLoss, "\"" + path + "\": " + lengthPastEnd(n, size));
    if (n > kMaxModelBytes)
        return Status(StatusCode::kResourceExhausted, "\"" + path + "\": a tokenizer model of " +
                                                          std::to_string(n) + " bytes is larger than the " +
                                                          std::to_string(kMaxModelBytes) + " allowed");
    plain.assign((kHeader + n + kBlock - 1) / kBlock * kBlock, '\0');
    if (!readAt(file.fd, 0, plain) || !decryptInPlace(plain))
        return Status(StatusCode::kInternal, "Cannot read \"" + path + "\"");
    engineLog("LoadFromSerialized", n);
    return processor.LoadFromSerializedProto(std::string_view(plain).substr(kHeader, n));
}

} // namespace synaptra
