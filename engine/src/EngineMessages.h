// Messages of the translate entry point that the service reads back to split its work.
#pragma once

namespace synaptra {

// Code 5: the text was refused before any work ("... at most 31999 bytes in one call").
constexpr const char *kTextTooLong = "The text is too long to translate at once: at most ";
// Code 5: the translation does not fit the caller's buffer ("... 32000 bytes").
constexpr const char *kResultTooLarge = "The translation is larger than the result buffer of ";

} // namespace synaptra
