// Loads an encrypted tokenizer file (see synaptra/TokenizerCipher.h) into a processor.
#pragma once

#include <sentencepiece_processor.h>

#include <string>

namespace synaptra {

sentencepiece::util::Status loadEncryptedTokenizer(sentencepiece::SentencePieceProcessor &processor,
                                                   const std::string &path);

} // namespace synaptra
