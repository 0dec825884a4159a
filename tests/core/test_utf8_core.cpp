// UTF-8 validation and lossy decoding on the boundary cases of each sequence length.
#include <cstddef>
#include <iterator>
#include <string>

#include <doctest/doctest.h>

#include "common/utf8.hpp"

using solvarinth::is_valid_utf8;
using solvarinth::utf8_lossy;

TEST_CASE("utf8_validity_table") {
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
    // The row's index names it: its bytes are often not printable text.
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        CAPTURE(i);
        CHECK(is_valid_utf8(rows[i].bytes) == rows[i].valid);
    }
}

TEST_CASE("utf8_lossy_replaces_maximal_subparts") {
    CHECK(utf8_lossy("ok") == "ok");
    CHECK(utf8_lossy("a\xFF" "b") == "a\xEF\xBF\xBD" "b");
    CHECK(utf8_lossy("\xE2\x82" "x") == "\xEF\xBF\xBD" "x");       // one U+FFFD for E2 82
    CHECK(utf8_lossy("\xED\xA0\x80") == "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    CHECK(utf8_lossy("\xC3\xA9") == "\xC3\xA9");
}
