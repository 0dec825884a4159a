// libFuzzer mutations for the YAML target: libFuzzer's own, plus two it never makes, so that the
// fuzzer reaches sizes and counts that small inputs cannot. Now and then one run of the input (a
// scalar's characters, or a run of one repeated byte: spaces, newlines, brackets) is stretched to
// just below, at or just above 2^16, 2^20 or 2^24 bytes, or one line or flow item is repeated
// thousands of times with a counter in place of its first number, so that the copies are distinct
// keys, anchors or tags. The check packs lengths, offsets and counts into fixed widths; a plain
// byte-level fuzzer at 64 KB never gets near them.
//
// Linked into the libFuzzer target only: the replay driver runs saved inputs as they are.
// scripts/fuzz.sh turns libFuzzer's length control off (-len_control=0) so that a mutation may
// use the whole -max_len; ordinary mutations here stay within the old 64 KB themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

// Big inputs are slow to run under the sanitizers (about 15 ms at 2^16 bytes, 0.2 s at 2^20, 3 s
// at 2^24): one mutation in this many inflates, which costs about a quarter of the runs' time.
constexpr unsigned kInflateOneIn = 1000;
// What ordinary mutations may grow an input to; also where an input counts as inflated.
constexpr std::size_t kOrdinaryMax = 65536;
constexpr std::size_t kMostBytes = (std::size_t{1} << 24) + 64;

using Rng = std::minstd_rand;

std::size_t pick(Rng& rng, std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }

bool is_word(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           c == '-' || c == '.' || c == '~' || c == '/';
}

// A run: the characters of a scalar-like word, or one ASCII byte repeated (at least once). Bytes
// of multi-byte characters never start one, so a stretched run stays UTF-8.
struct Run {
    std::size_t begin, end;
};

std::vector<Run> runs_of(const std::uint8_t* data, std::size_t size) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < size;) {
        std::size_t j = i + 1;
        if (is_word(data[i])) {
            while (j < size && is_word(data[j])) ++j;
        } else {
            while (j < size && data[j] == data[i]) ++j;
        }
        if (data[i] < 0x80) runs.push_back({i, j});
        i = j;
    }
    return runs;
}

// The lengths a stretched run gets: around each power, weighted so that the slowest, 2^24, is
// the rarest. A few bytes below 2^20 too, where a stored key's own header meets the boundary.
std::size_t stretched_length(Rng& rng) {
    static constexpr std::int64_t kAround[] = {-1, 0, 1};
    const unsigned roll = static_cast<unsigned>(pick(rng, 100));
    const unsigned power = roll < 50 ? 16 : roll < 98 ? 20 : 24;
    std::int64_t offset = kAround[pick(rng, 3)];
    if (power == 20 && pick(rng, 4) == 0) offset = -static_cast<std::int64_t>(2 + pick(rng, 12));
    return static_cast<std::size_t>((std::int64_t{1} << power) + offset);
}

// One run filled to a new length by repeating its own bytes. Mostly a scalar's: a stretched key
// or value reaches more of the check than a stretched indicator does.
std::size_t stretch_run(std::uint8_t* data, std::size_t size, std::size_t max_size, Rng& rng) {
    std::vector<Run> runs = runs_of(data, size);
    if (pick(rng, 4) != 0) std::erase_if(runs, [&](const Run& r) { return !is_word(data[r.begin]); });
    if (runs.empty()) return 0;
    const Run run = runs[pick(rng, runs.size())];
    const std::size_t old_length = run.end - run.begin;
    const std::size_t length = stretched_length(rng);
    const std::size_t total = size - old_length + length;
    if (length <= old_length || total > max_size) return 0;
    const std::string pattern(data + run.begin, data + run.end);
    std::string out(reinterpret_cast<const char*>(data), run.begin);
    out.reserve(total);
    while (out.size() < run.begin + length)
        out.append(pattern, 0, std::min(pattern.size(), run.begin + length - out.size()));
    out.append(reinterpret_cast<const char*>(data) + run.end, size - run.end);
    std::memcpy(data, out.data(), out.size());
    return out.size();
}

bool ends_item(std::uint8_t c) { return c == '\n' || c == ','; }

// One line or flow item repeated many times; its first number, if it has one, counts the copies.
std::size_t repeat_item(std::uint8_t* data, std::size_t size, std::size_t max_size, Rng& rng) {
    std::size_t begin = pick(rng, size);
    while (begin > 0 && !ends_item(data[begin - 1]) && data[begin - 1] != '[' && data[begin - 1] != '{') --begin;
    std::size_t end = begin;
    while (end < size && end - begin < 256 && !ends_item(data[end])) ++end;
    if (end < size && end - begin < 256) ++end;  // the newline or comma itself
    if (end == begin) return 0;
    static constexpr std::size_t kCopies[] = {257, 4097, 65537, 131073};
    const std::size_t copies = kCopies[pick(rng, 4)];
    const std::string item(data + begin, data + end);
    std::size_t digits = item.find_first_of("0123456789");
    std::size_t digits_end = digits;
    while (digits_end < item.size() && item[digits_end] >= '0' && item[digits_end] <= '9') ++digits_end;
    const std::size_t limit = std::min(max_size, kMostBytes);
    if ((item.size() + 6) * copies + size > limit) return 0;  // 6: the most a counter adds
    std::string out(reinterpret_cast<const char*>(data), begin);
    for (std::size_t i = 0; i < copies; ++i) {
        if (digits == std::string::npos) {
            out += item;
        } else {
            out.append(item, 0, digits);
            out += std::to_string(i);
            out.append(item, digits_end);
        }
        if (out.size() + (size - begin) > limit) return 0;
    }
    out.append(reinterpret_cast<const char*>(data) + begin, size - begin);
    std::memcpy(data, out.data(), out.size());
    return out.size();
}

// An inflated input back to ordinary size: a stretch of its middle cut out, which undoes either
// inflation wherever it sits, so that the fuzzer goes on from it cheaply.
std::size_t deflate(std::uint8_t* data, std::size_t size, Rng& rng) {
    const std::size_t keep = 64 + pick(rng, 4096);
    const std::size_t cut = size - keep;
    const std::size_t at = pick(rng, keep);
    std::memmove(data + at, data + at + cut, size - at - cut);
    return keep;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                              unsigned int seed) {
    Rng rng(seed);
    if (size > kOrdinaryMax && pick(rng, 4) != 0) return deflate(data, size, rng);
    if (size > 0 && size <= kOrdinaryMax && pick(rng, kInflateOneIn) == 0) {
        const std::size_t inflated = pick(rng, 2) == 0 ? stretch_run(data, size, max_size, rng)
                                                       : repeat_item(data, size, max_size, rng);
        if (inflated != 0) return inflated;
    }
    // Grows a little at a time and no further than the old -max_len, as libFuzzer's length
    // control would; an inflated input keeps its size.
    const std::size_t grown = size > kOrdinaryMax ? size : std::clamp<std::size_t>(size + 256, 4096, kOrdinaryMax);
    return LLVMFuzzerMutate(data, size, std::min(max_size, grown));
}
