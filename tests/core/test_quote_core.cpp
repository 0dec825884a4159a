// The Unicode table's edges, including code points no Python text can carry, and the quoted form's
// raw runs around escapes.
#include <string>

#include "check.hpp"
#include "common/quote.hpp"
#include "common/unicode_escape.hpp"

TEST(unicode_table_edges) {
    const struct {
        char32_t c;
        bool escaped;
    } cases[] = {
        {0x0000, true},  {0x001F, true},  {0x0020, false}, {0x007E, false}, {0x007F, true},
        {0x00A0, true},  {0x00A1, false}, {0xD800, true},  {0xDFFF, true},  {0xE000, true},
        {0xFFFD, false}, {0x10FFFF, true}, {0x110000, false}, {0xFFFFFFFF, false},
    };
    for (const auto& t : cases) CHECK_EQ(solvarinth::needs_unicode_escape(t.c), t.escaped);
    CHECK_EQ(std::string(solvarinth::unicode_escape_version()), std::string("15.0.0"));
}

TEST(quoted_copies_raw_runs_between_escapes) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", "\"\""},
        {"\n", "\"\\n\""},
        {"\nab", "\"\\nab\""},
        {"ab\x01", "\"ab\\u{1}\""},
        {"a\"\\b", "\"a\\\"\\\\b\""},
        {"\xC3\xA9\xCC\x81x\xF4\x8F\xBF\xBF", "\"\xC3\xA9\\u{301}x\\u{10ffff}\""},
    };
    for (const auto& t : cases) CHECK_EQ(solvarinth::quoted(t.in), std::string(t.out));
}
