// A keyed hash for the tables a config's keys fill: secret words drawn once per process enter
// every step, so no text can be crafted in advance to make its keys collide.
//
// Each step folds a 128-bit product of the input word and the running state, each first mixed
// with a secret: the difference two inputs make passes through a multiplication by an operand
// the text's author cannot know, so no difference survives it with a probability independent of
// the secret (a plain multiply-xorshift step lets one through with probability 1/2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace solvarinth::config {

// Every domain a table hashes under, in one list: values of different kinds never share one.
// A scalar's domain is its kind and flag (scalar_domain), below 16, in the key table and the
// identity table alike.
inline constexpr std::uint64_t scalar_domain(unsigned kind, bool flag) { return std::uint64_t{kind} << 1 | flag; }
inline constexpr std::uint64_t kStructuralKeyDomain = 0xFF;  // a mapping key by identity number
inline constexpr std::uint64_t kSequenceDomain = 0x100;      // identities of collections and
inline constexpr std::uint64_t kMappingDomain = 0x101;       // tagged values
inline constexpr std::uint64_t kTaggedDomain = 0x102;
inline constexpr std::uint64_t kTagNameDomain = 0x200;       // the names of TextIds tables
inline constexpr std::uint64_t kAnchorNameDomain = 0x300;

struct HashSecrets {
    std::uint64_t word[4];
};

// Drawn from the system's random source when the library loads; a global rather than a static
// of a function, so that no hash pays for the check whether it was made yet.
extern const HashSecrets g_hash_secrets;

// The low and high halves of the product, xored.
[[gnu::always_inline]] inline std::uint64_t fold_multiply(std::uint64_t a, std::uint64_t b) {
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

// One 64-bit word under a domain, which keeps values of different kinds apart: the domain is
// folded with a secret before the word, so two kinds never share a difference an author could
// aim at.
[[gnu::always_inline]] inline std::uint64_t hash_word(std::uint64_t domain, std::uint64_t word) {
    const HashSecrets& s = g_hash_secrets;
    const std::uint64_t state = fold_multiply(domain ^ s.word[0], s.word[1]);
    return fold_multiply(word ^ s.word[2], state ^ s.word[3]);
}

// The last n < 8 bytes as one word, in at most two loads that may overlap: most keys are this
// short, and a copy of a variable length would cost a call. The length, hashed beside, tells
// apart the texts these loads would confuse.
[[gnu::always_inline]] inline std::uint64_t tail_word(const char* p, std::size_t n) {
    if (n >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, p, 4);
        std::memcpy(&last, p + n - 4, 4);
        return std::uint64_t{first} << 32 | last;
    }
    if (n == 0) return 0;
    const auto byte = [&](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
    return byte(0) << 16 | byte(n / 2) << 8 | byte(n - 1);
}

// A text under a domain.
inline std::uint64_t hash_text(std::uint64_t domain, std::string_view text) {
    const HashSecrets& s = g_hash_secrets;
    const char* p = text.data();
    std::size_t n = text.size();
    std::uint64_t h = fold_multiply(domain ^ n ^ s.word[0], s.word[1]);
    for (; n >= 8; n -= 8, p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        h = fold_multiply(word ^ s.word[2], h ^ s.word[3]);
    }
    return fold_multiply(tail_word(p, n) ^ s.word[1], h ^ s.word[2]);
}

// A run of 32-bit numbers under a domain, two to a step; p iterates over them.
template <typename It>
std::uint64_t hash_numbers(std::uint64_t domain, It p, std::size_t n) {
    const HashSecrets& s = g_hash_secrets;
    std::uint64_t h = fold_multiply(domain ^ n ^ s.word[0], s.word[1]);
    for (; n >= 2; n -= 2, p += 2)
        h = fold_multiply((std::uint64_t{p[0]} << 32 | p[1]) ^ s.word[2], h ^ s.word[3]);
    if (n == 1) h = fold_multiply(std::uint64_t{p[0]} ^ s.word[1], h ^ s.word[2]);
    return h;
}

}  // namespace solvarinth::config
