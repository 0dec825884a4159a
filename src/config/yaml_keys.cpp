// Scalar keys of a mapping as packed entries in growing blocks, a linear scan while the mapping
// is small, then a hash table seeded per process, so that no text can be crafted in advance to
// make its keys collide.
#include "config/yaml_keys.hpp"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include <sys/mman.h>

#include "common/fault.hpp"
#include "common/quote.hpp"

namespace solvarinth::config::yaml {
namespace {

constexpr std::string_view kDuplicateEntry = "duplicate entry ";
constexpr std::size_t kFirstBlock = 128;
constexpr std::size_t kLargestBlock = std::size_t{1} << 20;  // offsets take 20 bits of a reference
constexpr std::size_t kMostBlocks = std::size_t{1} << 12;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

bool same_key(const Scalar& a, const Scalar& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case ScalarKind::Null:
            return true;
        case ScalarKind::Bool:
        case ScalarKind::Int:
            return a.flag == b.flag && a.magnitude == b.magnitude;
        case ScalarKind::Float:
            return key_bits(a.real) == key_bits(b.real);
        case ScalarKind::String:
            break;
    }
    return a.text == b.text;
}

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

std::uint64_t seed() {
    static const std::uint64_t value = [] {
        std::random_device source;
        return (std::uint64_t{source()} << 32) ^ source();
    }();
    return value;
}

// The last n < 8 bytes as one word, in at most two loads that may overlap: most keys are this
// short, and a copy of a variable length would cost a call.
std::uint64_t tail_word(const char* p, std::size_t n) {
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

std::uint32_t hash_of(const Scalar& key) {
    std::uint64_t h = seed() ^ (static_cast<std::uint64_t>(key.kind) << 1 | key.flag);
    switch (key.kind) {
        case ScalarKind::Null:
        case ScalarKind::Bool:
            break;
        case ScalarKind::Int:
            h = mix(h ^ key.magnitude);
            break;
        case ScalarKind::Float:
            h = mix(h ^ key_bits(key.real));
            break;
        case ScalarKind::String: {
            const char* p = key.text.data();
            std::size_t n = key.text.size();
            h ^= n * 0x9E3779B97F4A7C15ULL;
            for (; n >= 8; n -= 8, p += 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                h = (h ^ word) * 0x9E3779B97F4A7C15ULL;
                h ^= h >> 29;
            }
            h = (h ^ tail_word(p, n)) * 0x9E3779B97F4A7C15ULL;
            break;
        }
    }
    return static_cast<std::uint32_t>(mix(h));
}

// A key other than null as a repeated-key message shows it: `true`, -3, 1.5, "text".
std::string shown(const Scalar& key) {
    switch (key.kind) {
        case ScalarKind::Null:
            break;
        case ScalarKind::Bool:
            return key.flag ? "`true`" : "`false`";
        case ScalarKind::Int: {
            std::string text(key.flag ? "-" : "");
            return text += std::to_string(key.magnitude);
        }
        case ScalarKind::Float:
            return format_float(key.real);
        case ScalarKind::String:
            return quoted_lossy(key.text);
    }
    fatal("YAML null key shown as a value");
}

// The failure text naming the earlier of two equal scalar keys.
std::string repeated(const Scalar& first) {
    if (first.kind == ScalarKind::Null) return std::string(kDuplicateEntry) + "with null key";
    return std::string(kDuplicateEntry) + "with key " + shown(first);
}

}  // namespace

// Slots of consecutive keys lie far apart: a large table sits on huge pages where the kernel
// allows, so that its lookups do not miss the TLB as well as the cache. All bytes 0xFF: empty.
MappingKeys::Slot* MappingKeys::allocate_slots(std::size_t count) {
    const std::size_t bytes = count * sizeof(Slot);
    void* block = nullptr;
    if (bytes < kHugePage) {
        block = std::malloc(bytes);
    } else if (::posix_memalign(&block, kHugePage, bytes) == 0) {
        ::madvise(block, bytes, MADV_HUGEPAGE);
    } else {
        block = nullptr;
    }
    if (!block) fatal(kOutOfMemory);
    std::memset(block, 0xFF, bytes);
    return static_cast<Slot*>(block);
}

void MappingKeys::FreeSlots::operator()(Slot* p) const noexcept { std::free(p); }

std::uint64_t key_bits(double v) {
    const double normal = std::isnan(v) ? std::numeric_limits<double>::quiet_NaN() : v == 0 ? 0.0 : v;
    return std::bit_cast<std::uint64_t>(normal);
}

std::optional<std::string> MappingKeys::add_scalar(const Scalar& key) {
    if (auto repeated = add_scalar_soon(key)) return repeated;
    return settle();
}

std::optional<std::string> MappingKeys::add_scalar_soon(const Scalar& key) {
    if (count_ < kLinear && waiting_ == 0) {
        for (std::size_t i = 0; i < count_; ++i) {
            const Scalar known = value_at(small_[i]);
            if (same_key(known, key)) return repeated(known);
        }
        small_[count_++] = append(key);
        return std::nullopt;
    }
    // The table stays at most half full counting the waiting keys. Growing indexes every entry
    // appended so far, so the waiting ones are judged first, and the new key appended after.
    if (!slots_) grow();
    if ((count_ + waiting_ + 1) * 2 > slot_count_) {
        if (auto repeated = settle()) return repeated;
        grow();
    }
    if (waiting_ == kPending)
        if (auto repeated = settle_oldest()) return repeated;
    const std::size_t k = (first_ + waiting_++) % kPending;
    pending_hash_[k] = hash_of(key);
    pending_ref_[k] = append(key);
    __builtin_prefetch(&slots_[pending_hash_[k] & (slot_count_ - 1)]);
    return std::nullopt;
}

std::optional<std::string> MappingKeys::settle_oldest() {
    const std::size_t k = first_;
    first_ = (first_ + 1) % kPending;
    --waiting_;
    if (auto repeated = find_or_index(pending_hash_[k], pending_ref_[k])) {
        waiting_ = 0;  // building stops at the first repeat
        return repeated;
    }
    ++count_;
    return std::nullopt;
}

std::optional<std::string> MappingKeys::settle() {
    while (waiting_ != 0)
        if (auto repeated = settle_oldest()) return repeated;
    return std::nullopt;
}

std::optional<std::string> MappingKeys::find_or_index(std::uint32_t hash, std::uint32_t ref) {
    const auto tag = static_cast<std::uint16_t>(hash >> 16);
    const std::size_t mask = slot_count_ - 1;
    std::size_t i = hash & mask;
    for (;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.ref() == kEmpty) break;
        if (slot.tag != tag) continue;
        const Scalar known = value_at(slot.ref());
        if (same_key(known, value_at(ref))) return repeated(known);
    }
    slots_[i] = Slot{tag, static_cast<std::uint16_t>(ref), static_cast<std::uint16_t>(ref >> 16)};
    return std::nullopt;
}

std::optional<std::string> MappingKeys::add_structural(std::uint32_t id) {
    if (structural_.insert(id).second) return std::nullopt;
    return std::string(kDuplicateEntry) + "in YAML map";
}

void MappingKeys::clear() noexcept {
    if (chunks_.size() > 1 || capacity_ > 8 * kFirstBlock) chunks_.clear();
    filled_.clear();
    if (chunks_.empty()) capacity_ = 0;
    used_ = 0;
    count_ = 0;
    first_ = 0;
    waiting_ = 0;
    slots_.reset();
    slot_count_ = 0;
    structural_.clear();
}

void MappingKeys::index(std::uint32_t hash, std::uint32_t ref) {
    const std::size_t mask = slot_count_ - 1;
    std::size_t i = hash & mask;
    while (slots_[i].ref() != kEmpty) i = (i + 1) & mask;
    slots_[i] = Slot{static_cast<std::uint16_t>(hash >> 16), static_cast<std::uint16_t>(ref),
                     static_cast<std::uint16_t>(ref >> 16)};
}

// Doubles the table, or builds the first one, indexing every entry again in the order they
// were added: a sequential pass over the blocks. Each entry's slot is fetched into the cache a
// few entries ahead of its insertion, since the slots of consecutive entries lie far apart.
void MappingKeys::grow() {
    slot_count_ = slots_ ? slot_count_ * 2 : 4 * kLinear;
    slots_.reset();
    slots_.reset(allocate_slots(slot_count_));
    constexpr std::size_t kAhead = 16;
    std::uint32_t hashes[kAhead];
    std::uint32_t refs[kAhead];
    std::size_t queued = 0;
    for (std::size_t c = 0; c < chunks_.size(); ++c) {
        const char* p = chunks_[c].get();
        const char* end = p + (c + 1 == chunks_.size() ? used_ : filled_[c]);
        while (p < end) {
            const std::size_t k = queued++ % kAhead;
            if (queued > kAhead) index(hashes[k], refs[k]);
            refs[k] = static_cast<std::uint32_t>(c << 20 | static_cast<std::size_t>(p - chunks_[c].get()));
            hashes[k] = hash_of(decode(p));
            __builtin_prefetch(&slots_[hashes[k] & (slot_count_ - 1)], 1);
        }
    }
    for (std::size_t i = queued > kAhead ? queued - kAhead : 0; i < queued; ++i)
        index(hashes[i % kAhead], refs[i % kAhead]);
}

char* MappingKeys::reserve(std::size_t bytes) {
    if (used_ + bytes > capacity_ || chunks_.empty()) {
        if (chunks_.size() >= kMostBlocks) fatal(kOutOfMemory);
        const std::size_t next = capacity_ == 0 ? kFirstBlock : std::min(capacity_ * 2, kLargestBlock);
        capacity_ = std::max(next, bytes);
        if (!chunks_.empty()) filled_.push_back(used_);
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
        used_ = 0;
    }
    char* p = chunks_.back().get() + used_;
    used_ += bytes;
    return p;
}

// The kind byte holds the kind and the flag; a number follows in 8 bytes, a text behind its size.
std::uint32_t MappingKeys::append(const Scalar& key) {
    const auto head = static_cast<char>(static_cast<unsigned>(key.kind) << 1 | (key.flag ? 1u : 0u));
    std::size_t bytes = 1;
    if (key.kind == ScalarKind::Int || key.kind == ScalarKind::Float) bytes += 8;
    if (key.kind == ScalarKind::String) bytes += 10 + key.text.size();
    char* p = reserve(bytes);
    const auto ref = static_cast<std::uint32_t>((chunks_.size() - 1) << 20 | (p - chunks_.back().get()));
    *p++ = head;
    if (key.kind == ScalarKind::Int) std::memcpy(p, &key.magnitude, 8);
    if (key.kind == ScalarKind::Float) std::memcpy(p, &key.real, 8);
    if (key.kind != ScalarKind::String) return ref;
    std::uint64_t n = key.text.size();
    do {
        const auto low = static_cast<unsigned char>(n & 0x7F);
        n >>= 7;
        *p++ = static_cast<char>(n ? (low | 0x80) : low);
    } while (n);
    std::memcpy(p, key.text.data(), key.text.size());
    used_ -= static_cast<std::size_t>(chunks_.back().get() + used_ - (p + key.text.size()));
    return ref;
}

Scalar MappingKeys::value_at(std::uint32_t ref) const {
    const char* p = at(ref);
    return decode(p);
}

Scalar MappingKeys::decode(const char*& p) {
    const auto head = static_cast<unsigned char>(*p++);
    Scalar v;
    v.kind = static_cast<ScalarKind>(head >> 1);
    v.flag = (head & 1) != 0;
    if (v.kind == ScalarKind::Int) std::memcpy(&v.magnitude, p, 8);
    if (v.kind == ScalarKind::Float) std::memcpy(&v.real, p, 8);
    if (v.kind == ScalarKind::Int || v.kind == ScalarKind::Float) p += 8;
    if (v.kind != ScalarKind::String) return v;
    std::uint64_t size = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        size |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) break;
    }
    v.text = std::string_view(p, size);
    p += size;
    return v;
}

}  // namespace solvarinth::config::yaml
