// Runs under AddressSanitizer: damaged files must fail with a status, never read past a buffer.
#include "EncryptedTokenizer.h"
#include "EngineFixtures.h"
#include "synaptra/TokenizerCipher.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>

using enginetest::fixture;
using enginetest::readBytes;
using enginetest::scratchDir;
using enginetest::writeBytes;
using sentencepiece::SentencePieceProcessor;
using sentencepiece::util::StatusCode;

namespace {

class EncryptedTokenizer : public ::testing::Test {
protected:
    void SetUp() override {
        dir = scratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        plainModel = readBytes(fixture("en.plain.model"));
        ASSERT_GT(plainModel.size(), 1000u) << "fixtures missing: run through ctest";
    }

    std::string write(const std::string &name, const std::string &bytes) {
        const std::string path = dir + "/" + name;
        writeBytes(path, bytes);
        return path;
    }

    // The file layout built by hand: N, the header bytes, the model, zero fill to 16.
    static std::string plaintext(const std::string &model, const std::string &header) {
        std::string plain(4, '\0');
        const auto n = static_cast<uint32_t>(model.size());
        for (int i = 0; i < 4; ++i)
            plain[static_cast<size_t>(i)] = static_cast<char>(n >> (8 * i));
        plain += header + model;
        plain.resize((plain.size() + 15) / 16 * 16, '\0');
        return plain;
    }

    // AES-256-CBC without padding, through OpenSSL, independent of the engine's wrapper.
    static std::string encryptRaw(const std::string &plain, bool otherKey = false) {
        unsigned char k[32];
        std::memcpy(k, synaptra::key, sizeof k);
        if (otherKey)
            k[0] ^= 1;
        EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
        EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, k, synaptra::iv);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        std::string out(plain.size() + 16, '\0');
        int n = 0, m = 0;
        auto *dst = reinterpret_cast<unsigned char *>(out.data());
        EVP_EncryptUpdate(ctx, dst, &n, reinterpret_cast<const unsigned char *>(plain.data()),
                          static_cast<int>(plain.size()));
        EVP_EncryptFinal_ex(ctx, dst + n, &m);
        EVP_CIPHER_CTX_free(ctx);
        out.resize(static_cast<size_t>(n + m));
        return out;
    }

    static std::string encodeToText(SentencePieceProcessor &p, const std::string &text) {
        std::vector<int> ids;
        EXPECT_TRUE(p.Encode(text, &ids).ok());
        std::string back;
        EXPECT_TRUE(p.Decode(ids, &back).ok());
        return back;
    }

    std::string dir;
    std::string plainModel;
};

TEST_F(EncryptedTokenizer, FileMadeByTheToolLoadsAndTokenises) {
    SentencePieceProcessor p;
    const auto status = synaptra::loadEncryptedTokenizer(p, fixture("en.spm.model"));
    ASSERT_TRUE(status.ok()) << status.ToString();
    EXPECT_EQ(encodeToText(p, "the cat sat on a mat"), "the cat sat on a mat");
}

TEST_F(EncryptedTokenizer, UnreadHeaderBytesHaveNoEffect) {
    std::string header(12, '\0');
    for (size_t i = 0; i < header.size(); ++i)
        header[i] = static_cast<char>(0xA5 ^ i);
    const std::string path = write("custom-header", encryptRaw(plaintext(plainModel, header)));
    SentencePieceProcessor p;
    const auto status = synaptra::loadEncryptedTokenizer(p, path);
    ASSERT_TRUE(status.ok()) << status.ToString();
    EXPECT_EQ(encodeToText(p, "hello world"), "hello world");
}

TEST_F(EncryptedTokenizer, ToolWrapperMatchesTheFileLayout) {
    EXPECT_EQ(synaptra::encryptTokenizerModel(plainModel),
              encryptRaw(plaintext(plainModel, std::string(12, '\0'))));
}

TEST_F(EncryptedTokenizer, MissingFileFailsWithNotFoundNamingTheFile) {
    SentencePieceProcessor p;
    const std::string path = dir + "/absent.spm.model";
    const auto status = synaptra::loadEncryptedTokenizer(p, path);
    EXPECT_EQ(status.code(), StatusCode::kNotFound);
    EXPECT_NE(status.ToString().find("Not found"), std::string::npos);
    EXPECT_NE(status.ToString().find(path), std::string::npos);
}

TEST_F(EncryptedTokenizer, DamagedFilesFailCleanly) {
    const std::string good = readBytes(fixture("en.spm.model"));
    ASSERT_EQ(good.size() % 16, 0u);
    struct Damage {
        const char *name;
        std::string bytes;
    };
    const std::vector<Damage> damages = {
        {"empty", ""},
        {"shorter-than-a-block", good.substr(0, 15)},
        {"one-block", good.substr(0, 16)},
        {"truncated-aligned", good.substr(0, good.size() / 2 / 16 * 16)},
        {"truncated-unaligned", good.substr(0, good.size() - 5)},
        {"not-a-multiple-of-16", good + "x"},
        {"plain-unencrypted", plainModel},
        {"plain-unencrypted-padded", plainModel + std::string((16 - plainModel.size() % 16) % 16, '\0')},
    };
    for (const Damage &d : damages) {
        SentencePieceProcessor p;
        const auto status = synaptra::loadEncryptedTokenizer(p, write(d.name, d.bytes));
        EXPECT_FALSE(status.ok()) << d.name;
        EXPECT_FALSE(status.ToString().empty()) << d.name;
    }
}

TEST_F(EncryptedTokenizer, LengthFieldBeyondTheFileIsRejected) {
    for (const uint32_t lie :
         {uint32_t(plainModel.size() + 16), uint32_t(0xFFFFFFFF), uint32_t(0x7FFFFFFF)}) {
        std::string plain = plaintext(plainModel, std::string(12, '\0'));
        for (int i = 0; i < 4; ++i)
            plain[static_cast<size_t>(i)] = static_cast<char>(lie >> (8 * i));
        SentencePieceProcessor p;
        const auto status = synaptra::loadEncryptedTokenizer(p, write("lying-length", encryptRaw(plain)));
        EXPECT_EQ(status.code(), StatusCode::kDataLoss) << lie;
    }
}

TEST_F(EncryptedTokenizer, OnlyRegularFilesAreRead) {
    const std::string fifo = dir + "/fifo.spm.model";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir + "/folder.spm.model";
    std::filesystem::create_directory(folder);
    for (const std::string &path : {fifo, folder}) {
        SCOPED_TRACE(path);
        // Run apart, so that a load stuck on the FIFO fails the test instead of hanging it.
        auto load = std::async(std::launch::async, [path] {
            SentencePieceProcessor p;
            return synaptra::loadEncryptedTokenizer(p, path);
        });
        if (load.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            FAIL() << "the load waited on the path";
        }
        const auto status = load.get();
        EXPECT_EQ(status.code(), StatusCode::kInvalidArgument);
        EXPECT_NE(status.ToString().find("is not a regular file"), std::string::npos) << status.ToString();
    }
}

TEST_F(EncryptedTokenizer, OnlyTheBlocksHoldingTheModelAreRead) {
    // Fill after the model is never read: a model followed by gigabytes of (sparse) fill loads.
    const std::string path = write("huge-fill", readBytes(fixture("en.spm.model")));
    ASSERT_EQ(::truncate(path.c_str(), off_t{3} << 30), 0);
    SentencePieceProcessor p;
    const auto status = synaptra::loadEncryptedTokenizer(p, path);
    ASSERT_TRUE(status.ok()) << status.ToString();
    EXPECT_EQ(encodeToText(p, "good morning"), "good morning");

    // A length field larger than any tokenizer is refused from the first block alone.
    std::string plain = plaintext(plainModel, std::string(12, '\0'));
    const uint32_t lie = 200u << 20;
    for (int i = 0; i < 4; ++i)
        plain[static_cast<size_t>(i)] = static_cast<char>(lie >> (8 * i));
    const std::string lying = write("huge-length", encryptRaw(plain));
    ASSERT_EQ(::truncate(lying.c_str(), off_t{300} << 20), 0);
    SentencePieceProcessor q;
    const auto refused = synaptra::loadEncryptedTokenizer(q, lying);
    EXPECT_EQ(refused.code(), StatusCode::kResourceExhausted) << refused.ToString();
}

TEST_F(EncryptedTokenizer, FileEncryptedWithAnotherKeyDoesNotLoad) {
    std::string plain = plaintext(plainModel, std::string(12, '\0'));
    SentencePieceProcessor p;
    EXPECT_FALSE(synaptra::loadEncryptedTokenizer(p, write("other-key", encryptRaw(plain, true))).ok());
}

TEST_F(EncryptedTokenizer, OneFileServesTwoProcessors) {
    SentencePieceProcessor encoder, decoder;
    ASSERT_TRUE(synaptra::loadEncryptedTokenizer(encoder, fixture("en.spm.model")).ok());
    ASSERT_TRUE(synaptra::loadEncryptedTokenizer(decoder, fixture("en.spm.model")).ok());
    std::vector<int> ids;
    ASSERT_TRUE(encoder.Encode("good morning", &ids).ok());
    std::string text;
    ASSERT_TRUE(decoder.Decode(ids, &text).ok());
    EXPECT_EQ(text, "good morning");
}

} // namespace
