// The Unicode table's edges, including code points no Python text can carry, and the quoted form's
// raw runs around escapes.
#include <cstdint>
#include <string>
#include <string_view>

#include <doctest/doctest.h>

#include "common/quote.hpp"
#include "common/unicode_escape.hpp"

TEST_CASE("unicode_table_edges") {
    const struct {
        char32_t c;
        bool escaped;
    } cases[] = {
        {0x0000, true},  {0x001F, true},  {0x0020, false}, {0x007E, false}, {0x007F, true},
        {0x00A0, true},  {0x00A1, false}, {0xD800, true},  {0xDFFF, true},  {0xE000, true},
        {0xFFFD, false}, {0x10FFFF, true}, {0x110000, false}, {0xFFFFFFFF, false},
    };
    for (const auto& t : cases) {
        CAPTURE(static_cast<std::uint32_t>(t.c));  // char32_t has no stream output to show
        CHECK(solvarinth::needs_unicode_escape(t.c) == t.escaped);
    }
    CHECK(std::string(solvarinth::unicode_escape_version()) == "15.0.0");
}

TEST_CASE("quoted_copies_raw_runs_between_escapes") {
    const struct {
        std::string_view in;
        std::string_view out;
    } cases[] = {
        {"", "\"\""},
        {"\n", "\"\\n\""},
        {"\nab", "\"\\nab\""},
        {"ab\x01", "\"ab\\u{1}\""},
        {"a\"\\b", "\"a\\\"\\\\b\""},
        {"\xC3\xA9\xCC\x81x\xF4\x8F\xBF\xBF", "\"\xC3\xA9\\u{301}x\\u{10ffff}\""},
    };
    for (const auto& t : cases) {
        CAPTURE(t.in);
        CHECK(solvarinth::quoted(t.in) == t.out);
    }
}
