// The double value of a decimal number text, shared by the JSON and YAML checks.
#pragma once

#include <optional>
#include <string_view>

namespace solvarinth {

// The value of an unsigned decimal text (digits, an optional fraction, an optional exponent),
// whose syntax the caller has checked. Magnitudes below the double range round to zero; empty
// when the magnitude is above it.
std::optional<double> decimal_value(std::string_view unsigned_text);

}  // namespace solvarinth
