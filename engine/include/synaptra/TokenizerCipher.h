// The cipher of tokenizer files: the whole file is AES-256-CBC (no padding) over
// [N little-endian u32][12 unread bytes][N model bytes][zero fill to 16].
#pragma once

#include "synaptra/Export.h"

#include <cstdint>
#include <string>

namespace synaptra {

SYNAPTRA_EXPORT extern const unsigned char key[32];
SYNAPTRA_EXPORT extern const unsigned char iv[16];
SYNAPTRA_EXPORT extern const unsigned char salt[8];

// Wraps a serialized tokenizer model into the encrypted file form.
SYNAPTRA_EXPORT std::string encryptTokenizerModel(const std::string &serializedModel);

// Decrypts a whole file and returns the serialized model it holds. False with `error` set when
// the length is not a positive multiple of 16, or the length field runs past the plaintext.
SYNAPTRA_EXPORT bool decryptTokenizerFile(const std::string &file, std::string &serializedModel,
                                          std::string &error);

} // namespace synaptra
