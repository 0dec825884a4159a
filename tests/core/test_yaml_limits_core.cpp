// The YAML check at each size where a packed field or a table changes shape: a key-store block's
// 20-bit offset, the 7-bit groups of a size prefix, the linear scan giving way to a table, and
// the tables' growth. At each boundary a repeated key must still be found and named exactly,
// which reads back every entry stored around it. Built with the sanitizers by the test command.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <doctest/doctest.h>

#include "config/yaml/check.hpp"

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

std::string verdict(const std::string& text) {
    const auto failure = solvarinth::config::check_yaml(text);
    return failure ? failure->text : "accepted";
}

std::string repeated(std::string_view shown) { return "duplicate entry with key " + std::string(shown); }

// A long explicit key, then keys of every kind, which land beside or after its block. Keys past
// 1024 characters must be explicit: YAML allows no longer implicit ones.
std::string long_key_then_others(std::size_t length, std::string_view last) {
    std::string text = "? " + std::string(length, 'k') + "\n: 0\n";
    for (std::string_view key : {"true", "null", "1", "-1", "1.5", "s", "'q'", "[a]", "{b: c}", "!t x", "~x"})
        text += std::string(key) + ": 0\n";
    return text + "? " + std::string(last) + "\n: 1\n";
}

// count distinct keys of the given shape, then the first one again.
std::string keys_then_first_again(std::size_t count, std::string_view before, std::string_view after) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += std::string(before) + std::to_string(i) + std::string(after) + ": 0\n";
    return text + std::string(before) + "0" + std::string(after) + ": 1\n";
}

}  // namespace

TEST_CASE("yaml_limits_at_their_boundaries") {
    struct Row {
        std::string name;
        std::string text;
        std::string expected;
    };
    std::vector<Row> rows;
    // The key store's blocks: an entry is 1 head byte, a size prefix and the text, reserved with
    // room for the longest prefix (10 bytes), so texts of 2^20 - 11 bytes and up need a block
    // past 2^20 bytes of their own.
    for (std::size_t length : {kBlock - 12, kBlock - 11, kBlock - 10, kBlock - 1, kBlock, kBlock + 1}) {
        const std::string n = std::to_string(length);
        rows.push_back({"key of " + n + ", true again", long_key_then_others(length, "true"), repeated("`true`")});
        rows.push_back({"key of " + n + ", null again", long_key_then_others(length, "~"), "duplicate entry with null key"});
        rows.push_back({"key of " + n + ", -1 again", long_key_then_others(length, "-1"), repeated("-1")});
        rows.push_back({"key of " + n + ", itself again", long_key_then_others(length, std::string(length, 'k')),
                        repeated('"' + std::string(length, 'k') + '"')});
        rows.push_back({"key of " + n + ", [a] again", long_key_then_others(length, "[a]"), "duplicate entry in YAML map"});
        rows.push_back({"key of " + n + ", none again", long_key_then_others(length, "other"), "accepted"});
        // The same text inside a collection key, interned by identity, and as a local tag.
        const std::string inner = "? [" + std::string(length, 'i') + "]\n: 0\n";
        rows.push_back({"[text of " + n + "] twice", inner + "? [x]\n: 0\n" + inner, "duplicate entry in YAML map"});
        const std::string tagged = "? !" + std::string(length, 't') + " a\n: 0\n";
        rows.push_back({"tag of " + n + " twice", tagged + "b: 0\n" + tagged, "duplicate entry in YAML map"});
        // An anchor name and an anchored scalar of that length, the alias then a repeated key.
        const std::string name(length, 'n');
        rows.push_back({"anchor of " + n, "a: &" + name + " " + std::string(length, 'v') + "\nb: 0\n? *" + name +
                                              "\n: 1\n? " + std::string(length, 'v') + "\n: 2\n",
                        repeated('"' + std::string(length, 'v') + '"')});
    }
    // A size prefix takes one more byte past each 7 bits.
    for (std::size_t bits : {7, 14, 21}) {
        for (std::size_t length : {(std::size_t{1} << bits) - 1, std::size_t{1} << bits, (std::size_t{1} << bits) + 1}) {
            const std::string key(length, 'p');
            rows.push_back({"prefix for " + std::to_string(length), "? " + key + "\n: 0\nz: 0\n? " + key + "\n: 1\n",
                            repeated('"' + key + '"')});
        }
    }
    // A mapping's keys are scanned while there are at most 8, then hashed into a table that grows
    // by doubling; the identity table grows at three quarters of 64, 128, ... slots.
    for (std::size_t count : {7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 48, 49, 95, 96, 97, 1023, 1024, 1025}) {
        const std::string n = std::to_string(count);
        rows.push_back({n + " strings", keys_then_first_again(count, "k", ""), repeated("\"k0\"")});
        rows.push_back({n + " numbers", keys_then_first_again(count, "", ""), repeated("0")});
        rows.push_back({n + " sequences", keys_then_first_again(count, "[", "]"), "duplicate entry in YAML map"});
    }
    for (const Row& row : rows) {
        CAPTURE(row.name);
        CHECK(verdict(row.text) == row.expected);
    }
}

// Texts no generator of ours wrote, each once a crash or a wrong verdict.
TEST_CASE("yaml_grammar_corners") {
    struct Row {
        std::string text;
        std::string expected;
    };
    // Eleven levels, each an anchored sequence of three aliases of the one below, expanded four
    // times: 4 * 88573 + 3 * 44286 expansions, the first failure's event count must pass 4870.
    std::string laughs = "l0: &l0 x\n";
    for (int n = 1; n <= 10; ++n) {
        const std::string below = "*l" + std::to_string(n - 1);
        laughs += "l" + std::to_string(n) + ": &l" + std::to_string(n) + " [" + below + ", " + below + ", " + below + "]\n";
    }
    laughs += "z: [*l10, *l10, *l10, *l10]\nd: {k: 1, k: 2}\n";
    const std::string duplicate = "d: duplicate entry with key \"k\" at line 13 column 4";
    // Past the nesting budget the events are counted to 1024 levels: 5000 scalars inside the
    // deepest level bring the count over the line unless that level is past the counting.
    std::string filler;
    for (int i = 0; i < 5000; ++i) filler += "1,";
    const auto deep = [&](std::size_t depth) {
        return laughs + "deep: " + std::string(depth, '[') + filler + std::string(depth, ']') + "\n";
    };
    std::vector<Row> rows = {
        // A tag whose %-escape decodes to NUL reaches us as an empty text.
        {"!<%00> x", "accepted"},
        {"a: !<%00> x", "accepted"},
        {"!<%00> []", "accepted"},
        {"? !<%00> k\n: 1", "accepted"},
        {"%TAG !e! %00\n--- !e!%00 x", "accepted"},
        {"a: !<%00> x\nb: !<%00> y\na: 1", "duplicate entry with key \"a\""},
        // A local tag's name is checked as UTF-8 from the code point where it leaves the last
        // valid one; an unreadable name (a surrogate, an overlong form) leaves its key plain k.
        {"? !<!ab%C3%A9> k\n: 1\n? !<!ab%C3%A8> k\n: 2\nk: 3", "accepted"},
        {"? !<!ab%ED%9F%BF> k\n: 1\n? !<!ab%ED%A0%80> k\n: 2\nk: 3", "duplicate entry with key \"k\""},
        {"? !<!ab%C3%A9> k\n: 1\n? !<!ab%C0%80> k\n: 2\nk: 3", "duplicate entry with key \"k\""},
        // One name however spelled, kept or not.
        {"? !x k\n: 1\n? !<!x> k\n: 2", "duplicate entry in YAML map"},
        {"a: &a [!x k]\n? *a\n: 1\n? [!<!x> k]\n: 2", "duplicate entry in YAML map"},
        {"a: &a [!x k]\n? *a\n: 1\n? [!y k]\n: 2", "accepted"},
        // An alias of a scalar as a key is the scalar's value, in small and hashed mappings.
        {"a: &a " + std::string(3000, 'v') + "\nb: &b " + std::string(2999, 'v') + "w\nc: {*a : 1, *b : 2}", "accepted"},
        {"a: &a " + std::string(3000, 'v') + "\nb: &b " + std::string(3000, 'v') + "\nc: {*a : 1, *b : 2}",
         "c: duplicate entry with key \"" + std::string(3000, 'v') + "\" at line 3 column 4"},
        {"a: &a " + std::string(3000, 'v') + "\nc: {*a : 1, " + std::string(3000, 'v') + ": 2}",
         "c: duplicate entry with key \"" + std::string(3000, 'v') + "\" at line 2 column 4"},
        {"a: &a 12\nc: {*a : 1, 12: 2}", "c: duplicate entry with key 12 at line 2 column 4"},
        {"a: &a !t x\nc: {*a : 1, !t x: 2}", "c: duplicate entry in YAML map at line 2 column 4"},
        // The first failure stands once the document has events enough for the expansions
        // counted before it, nesting past the budget or not.
        {laughs, "repetition limit exceeded"},
        {laughs + "list: [" + filler + "]\n", duplicate},
        {deep(129), duplicate},
        // The top-level mapping is the first level: 1023, 1024 and 1025 in all.
        {deep(1022), duplicate},
        {deep(1023), duplicate},
        {deep(1024), "repetition limit exceeded"},
    };
    // A kept event's position taken before it was kept (the end of an anchored key inside a kept
    // node, where reading that node resumes) names the next block's start when the event did not
    // fit the last one: keys of every length across the first blocks (128, 256, 512 bytes).
    for (int n = 1; n <= 120; ++n) {
        std::string items;
        for (int i = 0; i < n; ++i) items += (i ? ", " : "") + std::to_string(i);
        rows.push_back({"b: &b {? &a [" + items + "] : 1, z: 2}\n? *b\n: 3\n? {? [" + items + "] : 1, z: 2}\n: 4\n",
                        "duplicate entry in YAML map"});
    }
    std::string anchors, keys = "m: {";
    for (int i = 0; i < 40; ++i) {
        anchors += "a" + std::to_string(i) + ": &a" + std::to_string(i) + " " + std::string(200, 'v') + std::to_string(i) + "\n";
        keys += "*a" + std::to_string(i) + " : 0, ";
    }
    rows.push_back({anchors + keys + "k: 1}", "accepted"});
    rows.push_back({anchors + keys + std::string(200, 'v') + "7: 1}",
                    "m: duplicate entry with key \"" + std::string(200, 'v') + "7\" at line 41 column 4"});
    for (const Row& row : rows) {
        CAPTURE(row.text.size());
        CHECK(verdict(row.text) == row.expected);
    }
}
