// The double-quoted form of a text.
#include "common/quote.hpp"

#include <cstdio>

#include "common/unicode_escape.hpp"
#include "common/utf8.hpp"

namespace solvarinth {
namespace {

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
