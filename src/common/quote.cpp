// The double-quoted form of a text.
#include "common/quote.hpp"

#include <cstdint>

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

// \u{hex}, lower-case digits without leading zeros.
void append_unicode_escape(std::string& out, char32_t c) {
    char buf[12];
    char* p = buf + sizeof buf;
    *--p = '}';
    auto v = static_cast<std::uint32_t>(c);
    do {
        *--p = "0123456789abcdef"[v & 0xF];
        v >>= 4;
    } while (v != 0);
    *--p = '{';
    *--p = 'u';
    *--p = '\\';
    out.append(p, static_cast<std::size_t>(buf + sizeof buf - p));
}

}  // namespace

std::string quoted(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    // Characters written as themselves are copied in runs, not one append per character.
    std::size_t raw_from = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {  // the common case: printable ASCII
            ++i;
            continue;
        }
        const std::size_t start = i;
        const char32_t c = next_code_point(utf8, i);
        const char* esc = simple_escape(c);
        if (esc == nullptr && !needs_unicode_escape(c)) continue;
        out.append(utf8.data() + raw_from, start - raw_from);
        raw_from = i;
        if (esc != nullptr) {
            out += esc;
        } else {
            append_unicode_escape(out, c);
        }
    }
    out.append(utf8.data() + raw_from, utf8.size() - raw_from);
    out += '"';
    return out;
}

std::string quoted_lossy(std::string_view bytes) {
    return is_valid_utf8(bytes) ? quoted(bytes) : quoted(utf8_lossy(bytes));
}

}  // namespace solvarinth
