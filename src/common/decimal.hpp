// Decimal numbers: the double value of a number text, and the text of an integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace solvarinth {

// The value of an unsigned decimal text (digits, an optional fraction, an optional exponent),
// whose syntax the caller has checked. Magnitudes below the double range round to zero; empty
// when the magnitude is above it.
std::optional<double> decimal_value(std::string_view unsigned_text);

// The plain decimal digits of value, no sign, no grouping, whatever the locale.
std::string decimal_text(std::uint64_t value);

}  // namespace solvarinth
