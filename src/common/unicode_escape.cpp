// Binary search over the generated, sorted table of escaped code-point ranges.
#include "common/unicode_escape.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace solvarinth {
namespace {

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// Regenerate with scripts/gen_unicode_table.py; tests compare this file with a fresh output.
constexpr Range kEscaped[] = {
#include "common/escape_table.inc"
};

constexpr bool sorted_and_disjoint() {
    for (std::size_t i = 0; i < std::size(kEscaped); ++i) {
        if (kEscaped[i].first > kEscaped[i].last) return false;
        if (i > 0 && kEscaped[i - 1].last >= kEscaped[i].first) return false;
    }
    return true;
}
// The search below silently gives wrong answers on an unsorted table; refuse to build one.
static_assert(sorted_and_disjoint(), "escape_table.inc must hold sorted, disjoint ranges");

}  // namespace

bool needs_unicode_escape(char32_t c) noexcept {
    const auto cp = static_cast<std::uint32_t>(c);
    // The first range whose last code point is not below cp is the only one that can hold it.
    const Range* it = std::lower_bound(std::begin(kEscaped), std::end(kEscaped), cp,
                                       [](const Range& r, std::uint32_t v) { return r.last < v; });
    return it != std::end(kEscaped) && it->first <= cp;
}

const char* unicode_escape_version() noexcept { return SOLVARINTH_ESCAPE_TABLE_UNICODE_VERSION; }

}  // namespace solvarinth
