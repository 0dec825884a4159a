// UTF-8 validation, lossy decoding and code point iteration.
#include "common/utf8.hpp"

#include <cstdint>
#include <cstring>

namespace solvarinth {
namespace {

// The permitted range of the second byte after each lead byte; later bytes are always 80..BF.
struct Lead {
    unsigned char length;
    unsigned char lo, hi;
};

Lead lead_of(unsigned char b) noexcept {
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// Length of the well-formed sequence at p (limit bytes available), or 0 when ill-formed; in that
// case *bad receives the length of the maximal ill-formed subpart (at least 1).
std::size_t sequence_length(const unsigned char* p, std::size_t limit, std::size_t* bad) noexcept {
    const Lead lead = lead_of(p[0]);
    std::size_t good = 1;
    if (lead.length != 0) {
        for (; good < lead.length && good < limit; ++good) {
            const unsigned char lo = good == 1 ? lead.lo : 0x80, hi = good == 1 ? lead.hi : 0xBF;
            if (p[good] < lo || p[good] > hi) break;
        }
        if (good == lead.length) return good;
    }
    *bad = good;
    return 0;
}

bool ascii_word(const unsigned char* p) noexcept {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 16 && ascii_word(p + i) && ascii_word(p + i + 8)) {
            i += 16;
        } else if (p[i] < 0x80) {
            ++i;
        } else {
            std::size_t bad;
            const std::size_t len = sequence_length(p + i, n - i, &bad);
            if (len == 0) return false;
            i += len;
        }
    }
    return true;
}

std::string utf8_lossy(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (p[i] < 0x80) {
            out += static_cast<char>(p[i++]);
            continue;
        }
        std::size_t bad = 0;
        const std::size_t len = sequence_length(p + i, bytes.size() - i, &bad);
        if (len != 0) {
            out.append(bytes.data() + i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            i += bad;
        }
    }
    return out;
}

char32_t next_code_point(std::string_view bytes, std::size_t& i) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char b = p[i];
    if (b < 0x80) {
        ++i;
        return b;
    }
    const std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    char32_t c = b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) c = (c << 6) | (p[i + k] & 0x3F);
    i += len;
    return c;
}

}  // namespace solvarinth
