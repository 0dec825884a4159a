// Decimal numbers and their text.
#include "common/decimal.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace solvarinth {
namespace {

// An exponent's magnitude is held at this: the position of the first significant digit, which
// the exponent is added to, is below 2^62 as no text is longer, so the sum keeps its sign in
// 64 bits and a held exponent still outweighs every position.
constexpr std::int64_t kMostExponent = std::int64_t{1} << 62;

// For a text out of the double range: whether its magnitude is below 1 (it rounds to zero)
// rather than above (it overflows).
bool below_one(std::string_view t) {
    const std::size_t e = t.find_first_of("eE");
    std::int64_t exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view x = t.substr(e + 1);
        const bool negative = x.starts_with('-');
        if (x.starts_with('-') || x.starts_with('+')) x.remove_prefix(1);
        for (char c : x) {
            exponent = exponent * 10 + (c - '0');
            if (exponent >= kMostExponent / 10) {
                exponent = kMostExponent;
                break;
            }
        }
        if (negative) exponent = -exponent;
    }
    const std::string_view mantissa = t.substr(0, e);
    const std::size_t dot = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos) return true;
    const std::int64_t lead = first < dot ? static_cast<std::int64_t>(dot - first - 1)
                                          : -static_cast<std::int64_t>(first - dot);
    return lead + exponent < 0;
}

}  // namespace

std::optional<double> decimal_value(std::string_view t) {
    double value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range && below_one(t)) return 0.0;
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string decimal_text(std::uint64_t value) {
    char digits[20];  // 18446744073709551615, the largest value, has 20
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

}  // namespace solvarinth
