// The double-quoted form of a text, with Unicode properties taken from ICU.
#include "common/quote.hpp"

#include <unicode/uchar.h>

#include <cstdio>

#include "common/utf8.hpp"

namespace solvarinth {
namespace {

bool needs_unicode_escape(char32_t c) noexcept {
    const auto cp = static_cast<UChar32>(c);
    if (u_hasBinaryProperty(cp, UCHAR_GRAPHEME_EXTEND)) return true;
    switch (u_charType(cp)) {
        case U_CONTROL_CHAR:         // Cc
        case U_FORMAT_CHAR:          // Cf
        case U_SURROGATE:            // Cs
        case U_PRIVATE_USE_CHAR:     // Co
        case U_UNASSIGNED:           // Cn
        case U_LINE_SEPARATOR:       // Zl
        case U_PARAGRAPH_SEPARATOR:  // Zp
            return true;
        case U_SPACE_SEPARATOR:      // Zs
            return c != U' ';
        default:
            return false;
    }
}

const char* simple_escape(char32_t c) noexcept {
    switch (c) {
        case U'\0': return "\\0";
        case U'\t': return "\\t";
        case U'\r': return "\\r";
        case U'\n': return "\\n";
        case U'\\': return "\\\\";
        case U'"': return "\\\"";
        default: return nullptr;
    }
}

}  // namespace

std::string quoted(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        const char32_t c = next_code_point(utf8, i);
        if (const char* esc = simple_escape(c)) {
            out += esc;
        } else if (c > U'~' || c < U' ' ? needs_unicode_escape(c) : false) {
            char buf[16];
            const int n = std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(c));
            out.append(buf, static_cast<std::size_t>(n));
        } else {
            out.append(utf8.data() + start, i - start);
        }
    }
    out += '"';
    return out;
}

}  // namespace solvarinth
