// The byte classes of JSON's grammar that its check and its error descriptions test.
#pragma once

#include "common/ascii.hpp"

namespace solvarinth::config::json {

inline bool is_json_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A byte that can continue a number token as RapidJSON reads one (digits, sign, point, exponent).
inline bool is_number_byte(char c) noexcept {
    return is_digit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

}  // namespace solvarinth::config::json
