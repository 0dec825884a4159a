// UTF-8 validation and lossy decoding on the boundary cases of each sequence length.
#include <string>

#include "check.hpp"
#include "common/utf8.hpp"

using solvarinth::is_valid_utf8;
using solvarinth::utf8_lossy;

TEST(utf8_validity_table) {
    struct Row {
        std::string bytes;
        bool valid;
    };
    const Row rows[] = {
        {"", true},
        {"plain ascii that is longer than sixteen bytes", true},
        {std::string("nul\0inside", 10), true},
        {"\xC2\x80", true},            // U+0080
        {"\xDF\xBF", true},            // U+07FF
        {"\xE0\xA0\x80", true},        // U+0800
        {"\xED\x9F\xBF", true},        // U+D7FF
        {"\xEE\x80\x80", true},        // U+E000
        {"\xF0\x90\x80\x80", true},    // U+10000
        {"\xF4\x8F\xBF\xBF", true},    // U+10FFFF
        {"\xC0\x80", false},           // overlong NUL
        {"\xC1\xBF", false},           // overlong
        {"\xE0\x9F\xBF", false},       // overlong three-byte
        {"\xED\xA0\x80", false},       // surrogate D800
        {"\xED\xBF\xBF", false},       // surrogate DFFF
        {"\xF0\x8F\xBF\xBF", false},   // overlong four-byte
        {"\xF4\x90\x80\x80", false},   // above U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\x80", false},               // lone continuation
        {"\xE2\x82", false},           // truncated at the end
        {"0123456789abcdef\xE2\x82", false},  // truncated after the fast path
        {"0123456789abcde\xC3\xA9", true},    // sequence straddling the 16-byte block
    };
    for (const Row& row : rows) CHECK_EQ(is_valid_utf8(row.bytes), row.valid);
}

TEST(utf8_lossy_replaces_maximal_subparts) {
    CHECK_EQ(utf8_lossy("ok"), std::string("ok"));
    CHECK_EQ(utf8_lossy("a\xFF" "b"), std::string("a\xEF\xBF\xBD" "b"));
    CHECK_EQ(utf8_lossy("\xE2\x82" "x"), std::string("\xEF\xBF\xBD" "x"));       // one U+FFFD for E2 82
    CHECK_EQ(utf8_lossy("\xED\xA0\x80"), std::string("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"));
    CHECK_EQ(utf8_lossy("\xC3\xA9"), std::string("\xC3\xA9"));
}
