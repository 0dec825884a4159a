// Byte classes the config parsers test: plain ASCII, independent of the locale.
#pragma once

namespace solvarinth {

inline bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

}  // namespace solvarinth
