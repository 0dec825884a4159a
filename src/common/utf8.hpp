// UTF-8 checks shared by the file reader, the parsers and the error texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace solvarinth {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view bytes) noexcept;

// The bytes with each maximal ill-formed subsequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

// Decodes one well-formed code point starting at bytes[i] and advances i past it.
// Precondition: bytes is valid UTF-8 and i < bytes.size().
char32_t next_code_point(std::string_view bytes, std::size_t& i) noexcept;

}  // namespace solvarinth
