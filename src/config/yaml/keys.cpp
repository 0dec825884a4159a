// Keys of a mapping as packed entries in growing blocks, a linear scan while the mapping is
// small, then a table under a keyed hash, so that no text can be crafted in advance to make its
// keys collide.
#include "config/yaml/keys.hpp"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/fault.hpp"
#include "common/large_block.hpp"
#include "common/quote.hpp"
#include "config/yaml/keyed_hash.hpp"

namespace solvarinth::config::yaml {
namespace {

constexpr std::string_view kDuplicateEntry = "duplicate entry ";
// The head byte of an entry: a scalar's kind and flag, its hash domain too, or one of these.
constexpr unsigned char kStructuralHead = kStructuralKeyDomain;  // an identity number
constexpr unsigned char kKeptStringHead = 0xFE;                  // a string kept elsewhere

unsigned char head_of(const Scalar& key) {
    return static_cast<unsigned char>(scalar_domain(static_cast<unsigned>(key.kind), key.flag));
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

// The failure text naming the earlier of two equal keys.
template <typename Entry>
std::string repeated(const Entry& first) {
    if (first.structural) return std::string(kDuplicateEntry) + "in YAML map";
    if (first.value.kind == ScalarKind::Null) return std::string(kDuplicateEntry) + "with null key";
    return std::string(kDuplicateEntry) + "with key " + shown(first.value);
}

template <typename Entry>
[[gnu::always_inline]] inline bool same(const Entry& a, const Entry& b) {
    if (a.structural || b.structural) return a.structural == b.structural && a.id == b.id;
    // Two large kept texts that differ only at their ends need not be compared.
    if (a.kept && b.kept && a.hash != b.hash) return false;
    return compare_keys(a.value, b.value) == 0;
}

// The head byte is the domain, so that values of different kinds never share an aimed difference.
[[gnu::always_inline]] inline std::uint64_t scalar_hash(const Scalar& v) {
    switch (v.kind) {
        case ScalarKind::Null:
        case ScalarKind::Bool:
            return hash_word(head_of(v), 0);
        case ScalarKind::Int:
            return hash_word(head_of(v), v.magnitude);
        case ScalarKind::Float:
            return hash_word(head_of(v), key_bits(v.real));
        case ScalarKind::String:
            break;
    }
    return hash_text(head_of(v), v.text);
}

template <typename Entry>
[[gnu::always_inline]] inline std::uint64_t hash_of(const Entry& key) {
    if (key.structural) return hash_word(kStructuralKeyDomain, key.id);
    return key.kept ? key.hash : scalar_hash(key.value);
}

}  // namespace

std::uint64_t MappingKeys::hash_scalar(const Scalar& key) { return scalar_hash(key); }

// Slots of consecutive keys lie far apart: a large table is a large block, so that its lookups
// do not miss the TLB as well as the cache. All bytes 0xFF: empty.
MappingKeys::Slot* MappingKeys::allocate_slots(std::size_t count) {
    const std::size_t bytes = count * sizeof(Slot);
    void* block = allocate_large(bytes);
    if (!block) fatal(kOutOfMemory);
    std::memset(block, 0xFF, bytes);
    return static_cast<Slot*>(block);
}

void MappingKeys::FreeSlots::operator()(Slot* p) const noexcept { std::free(p); }

std::uint64_t key_bits(double v) {
    const double normal = std::isnan(v) ? std::numeric_limits<double>::quiet_NaN() : v == 0 ? 0.0 : v;
    return std::bit_cast<std::uint64_t>(normal);
}

// A six-byte slot straddles two cache lines one time in sixteen, and a lookup that finds its first
// slot taken reads the next one, so the line holding the next slot's last byte is asked for too;
// mostly it is the same line. The address is only a hint: past the table's end it is harmless.
template <int ForWrite>
inline void MappingKeys::fetch_slots(std::uint64_t hash) const {
    const auto first = reinterpret_cast<std::uintptr_t>(&slots_[hash & (slot_count_ - 1)]);
    __builtin_prefetch(reinterpret_cast<const void*>(first), ForWrite);
    __builtin_prefetch(reinterpret_cast<const void*>(first + 2 * sizeof(Slot) - 1), ForWrite);
}

inline std::optional<std::string> MappingKeys::add_soon(const Entry& key) {
    if (count_ < kLinear && waiting_ == 0) {
        for (std::size_t i = 0; i < count_; ++i) {
            const Entry known = entry_at(small_[i]);
            if (same(known, key)) return repeated(known);
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
    fetch_slots<0>(pending_hash_[k]);
    return std::nullopt;
}

inline MappingKeys::Entry MappingKeys::decode(const char*& p) {
    const auto head = static_cast<unsigned char>(*p++);
    Entry e;
    if (head == kStructuralHead) {
        e.structural = true;
        std::memcpy(&e.id, p, 4);
        p += 4;
        return e;
    }
    Scalar& v = e.value;
    if (head == kKeptStringHead) {
        const char* text;
        std::size_t size;
        std::memcpy(&text, p, sizeof text);
        std::memcpy(&size, p + sizeof text, sizeof size);
        std::memcpy(&e.hash, p + sizeof text + sizeof size, sizeof e.hash);
        p += sizeof text + sizeof size + sizeof e.hash;
        v.text = std::string_view(text, size);
        e.kept = true;
        return e;
    }
    v.kind = static_cast<ScalarKind>(head >> 1);
    v.flag = (head & 1) != 0;
    if (v.kind == ScalarKind::Int) std::memcpy(&v.magnitude, p, 8);
    if (v.kind == ScalarKind::Float) std::memcpy(&v.real, p, 8);
    if (v.kind == ScalarKind::Int || v.kind == ScalarKind::Float) p += 8;
    if (v.kind == ScalarKind::String) v.text = get_sized(p);
    return e;
}

MappingKeys::Slot MappingKeys::Slot::make(std::uint64_t hash, std::uint64_t ref) {
    return Slot{static_cast<std::uint16_t>(ref), static_cast<std::uint16_t>(ref >> 16),
                static_cast<std::uint16_t>((hash >> 56) << 8 | (ref >> 32 & 0xFF))};
}

std::optional<std::string> MappingKeys::add_scalar(const Scalar& key) { return add(Entry{false, 0, key}); }

std::optional<std::string> MappingKeys::add_scalar_soon(const Scalar& key) { return add_soon(Entry{false, 0, key}); }

std::optional<std::string> MappingKeys::add_structural(std::uint32_t id) { return add(Entry{true, id, Scalar{}}); }

std::optional<std::string> MappingKeys::add_kept_string(const Scalar& key, std::uint64_t hash) {
    if (key.kind != ScalarKind::String) fatal("YAML kept key is not a string");
    return add(Entry{false, 0, key, true, hash});
}

std::optional<std::string> MappingKeys::add(const Entry& key) {
    if (auto repeated = add_soon(key)) return repeated;
    return settle();
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

std::optional<std::string> MappingKeys::find_or_index(std::uint64_t hash, std::uint64_t ref) {
    const auto tag = static_cast<std::uint8_t>(hash >> 56);
    const std::size_t mask = slot_count_ - 1;
    std::size_t i = hash & mask;
    for (;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.ref() == kEmpty) break;
        if (slot.tag() != tag) continue;
        const Entry known = entry_at(slot.ref());
        if (same(known, entry_at(ref))) return repeated(known);
    }
    slots_[i] = Slot::make(hash, ref);
    return std::nullopt;
}

void MappingKeys::clear() noexcept {
    entries_.clear();
    count_ = 0;
    first_ = 0;
    waiting_ = 0;
    slots_.reset();
    slot_count_ = 0;
}

void MappingKeys::index(std::uint64_t hash, std::uint64_t ref) {
    const std::size_t mask = slot_count_ - 1;
    std::size_t i = hash & mask;
    while (slots_[i].ref() != kEmpty) i = (i + 1) & mask;
    slots_[i] = Slot::make(hash, ref);
}

// Doubles the table, or builds the first one, indexing every entry again in the order they
// were added: a sequential pass over the blocks. Each entry's slot is fetched into the cache a
// few entries ahead of its insertion, since the slots of consecutive entries lie far apart.
void MappingKeys::grow() {
    slot_count_ = slots_ ? slot_count_ * 2 : 4 * kLinear;
    slots_.reset();
    slots_.reset(allocate_slots(slot_count_));
    constexpr std::size_t kAhead = 16;
    std::uint64_t hashes[kAhead];
    std::uint64_t refs[kAhead];
    std::size_t queued = 0;
    entries_.for_each_block([&](const char* p, const char* end, std::uint64_t ref) {
        for (const char* start = p; p < end;) {
            const std::size_t k = queued++ % kAhead;
            if (queued > kAhead) index(hashes[k], refs[k]);
            refs[k] = ref + static_cast<std::uint64_t>(p - start);
            hashes[k] = hash_of(decode(p));
            fetch_slots<1>(hashes[k]);
        }
    });
    for (std::size_t i = queued > kAhead ? queued - kAhead : 0; i < queued; ++i)
        index(hashes[i % kAhead], refs[i % kAhead]);
}

// The head byte holds a scalar's kind and flag; a number follows in 8 bytes, an identity number
// in 4, a text behind its size, a kept text as its address, size and hash.
std::uint64_t MappingKeys::append(const Entry& key) {
    const Scalar& v = key.value;
    if (key.kept) {
        const char* text = v.text.data();
        const std::size_t size = v.text.size();
        constexpr std::size_t kBytes = 1 + sizeof text + sizeof size + sizeof key.hash;
        std::uint64_t ref;
        char* p = entries_.reserve(kBytes, ref);
        *p++ = static_cast<char>(kKeptStringHead);
        std::memcpy(p, &text, sizeof text);
        std::memcpy(p + sizeof text, &size, sizeof size);
        std::memcpy(p + sizeof text + sizeof size, &key.hash, sizeof key.hash);
        return ref;
    }
    std::size_t bytes = 1;
    if (key.structural) bytes += 4;
    else if (v.kind == ScalarKind::Int || v.kind == ScalarKind::Float) bytes += 8;
    else if (v.kind == ScalarKind::String) bytes += kMostSizeBytes + v.text.size();
    std::uint64_t ref;
    char* p = entries_.reserve(bytes, ref);
    *p++ = static_cast<char>(key.structural ? kStructuralHead : head_of(v));
    if (key.structural) std::memcpy(p, &key.id, 4);
    if (v.kind == ScalarKind::Int) std::memcpy(p, &v.magnitude, 8);
    if (v.kind == ScalarKind::Float) std::memcpy(p, &v.real, 8);
    if (key.structural || v.kind != ScalarKind::String) return ref;
    entries_.give_back(static_cast<std::size_t>(p + kMostSizeBytes + v.text.size() - put_sized(p, v.text)));
    return ref;
}

MappingKeys::Entry MappingKeys::entry_at(std::uint64_t ref) const {
    const char* p = entries_.at(ref);
    return decode(p);
}

}  // namespace solvarinth::config::yaml
