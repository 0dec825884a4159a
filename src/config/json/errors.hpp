// What a JSON failure is called, the byte it points at, and its message with line and column.
#pragma once

#include <cstddef>

#include "common/diagnostic.hpp"
#include "config/json/chars.hpp"
#include "config/json/reader.hpp"
#include "config/json/validator.hpp"

namespace solvarinth::config::json {

// Descriptions the check itself decides on; the rest come from reader_error.
inline constexpr const char* kTrailingCharacters = "trailing characters";
inline constexpr const char* kNumberOutOfRange = "number out of range";
inline constexpr const char* kInvalidNumber = "invalid number";
inline constexpr const char* kLoneSurrogate = "lone leading surrogate in hex escape";

// True when the digit at offset follows a number that is a lone 0 ("01", "-01"): RapidJSON
// ends the number after the 0, callers read it as one bad number.
bool after_leading_zero(const char* text, std::size_t size, std::size_t offset) noexcept;

// The error for a RapidJSON failure other than a number it refused or a handler stop, moved
// from where RapidJSON noticed it to the byte at fault (escapes are reported at their
// backslash, for instance).
JsonError reader_error(rapidjson::ParseErrorCode code, const char* text, std::size_t size, std::size_t offset);

}  // namespace solvarinth::config::json

namespace solvarinth::config {

// "<description> at line L column C": lines count from 1, the column is the 1-based column of
// the byte at offset, or at the end of the text the number of bytes on the last line. The
// position comes with the text.
Diagnostic describe_json_error(const char* text, std::size_t size, const JsonError& error);

}  // namespace solvarinth::config
