// The keys of one open mapping, for finding a repeated key: each packed into a few bytes and found
// by a keyed hash of its value, scalars by value, collection and tagged keys by identity number.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/yaml/arena.hpp"
#include "config/yaml/scalar.hpp"

namespace solvarinth::config::yaml {

// One NaN and a zero without sign, so that floats equal as keys have equal bits.
std::uint64_t key_bits(double v);

// Scalar keys by value: null equals null, booleans and integers by value, floats by value (all
// NaNs equal, -0.0 equals 0.0), strings by text; kinds never equal each other. Always inlined:
// interning a structural key compares its leaves through here at every step of the lookup.
[[gnu::always_inline]] inline std::weak_ordering compare_keys(const Scalar& a, const Scalar& b) {
    if (a.kind != b.kind) return a.kind <=> b.kind;
    switch (a.kind) {
        case ScalarKind::Null:
            return std::weak_ordering::equivalent;
        case ScalarKind::Bool:
        case ScalarKind::Int:
            if (a.flag != b.flag) return a.flag <=> b.flag;
            return a.magnitude <=> b.magnitude;
        case ScalarKind::Float:
            return key_bits(a.real) <=> key_bits(b.real);
        case ScalarKind::String:
            break;
    }
    return a.text <=> b.text;
}

class MappingKeys {
public:
    MappingKeys() = default;
    MappingKeys(const MappingKeys&) = delete;
    MappingKeys& operator=(const MappingKeys&) = delete;
    MappingKeys(MappingKeys&&) noexcept = default;
    MappingKeys& operator=(MappingKeys&&) noexcept = default;

    // Records a scalar key (one not wrapped in a local tag). When an earlier key has the same
    // value, the failure text naming that earlier key instead.
    std::optional<std::string> add_scalar(const Scalar& key);
    // The same, except that a key past the first few may stay pending, its table slot fetched
    // into the cache while libyaml parses on. Up to kPending keys wait, judged in the order they
    // came: when one more would not fit, the oldest is judged first and its outcome returned
    // instead (the new key is then not recorded). settle() judges every waiting key and gives
    // the first repeat; it must be called before any later failure counts.
    std::optional<std::string> add_scalar_soon(const Scalar& key);
    bool pending() const { return waiting_ != 0; }
    std::optional<std::string> settle();
    // Records a collection or tagged key by its identity number, with the same result.
    std::optional<std::string> add_structural(std::uint32_t id);
    // Records a string key whose text stays where it is for the whole document (an anchored
    // scalar's, in the store), with its hash_scalar: an alias can name one large scalar as the
    // key of mapping after mapping, and its text is then neither copied nor hashed again.
    std::optional<std::string> add_kept_string(const Scalar& key, std::uint64_t hash);
    // The hash a scalar key is found by.
    static std::uint64_t hash_scalar(const Scalar& key);
    // Forgets every key; storage beyond a small first block is released.
    void clear() noexcept;

private:
    // A recorded key: a scalar's value, or the identity number of a collection or tagged key.
    struct Entry {
        bool structural = false;
        std::uint32_t id = 0;
        Scalar value;
        bool kept = false;       // a string whose text lives elsewhere, its hash known
        std::uint64_t hash = 0;  // kept: hash_scalar of value
    };

    static constexpr std::size_t kLinear = 8;
    // Keys judged late: each slot fetch has the parsing of this many keys and values to arrive.
    // On a million keys 16 is faster than 8, and 32 slower (bench/results.md).
    static constexpr std::size_t kPending = 16;
    static constexpr std::uint64_t kEmpty = Arena::kNoRef;

    // Six bytes: an arena reference and the top 8 bits of the key's hash, so that most probes
    // need not look at the entry. All bits set: empty.
    struct Slot {
        std::uint16_t low;
        std::uint16_t mid;
        std::uint16_t top;  // the hash byte, then the reference's top 8 bits

        std::uint64_t ref() const { return std::uint64_t{top & 0xFFu} << 32 | std::uint64_t{mid} << 16 | low; }
        std::uint8_t tag() const { return static_cast<std::uint8_t>(top >> 8); }
        static Slot make(std::uint64_t hash, std::uint64_t ref);
    };
    static_assert(sizeof(Slot) == 6);
    static_assert(Arena::kOffsetBits + Arena::kBlockBits == 40, "a reference fills the slot's 40 bits");

    std::uint64_t append(const Entry& key);
    Entry entry_at(std::uint64_t ref) const;
    // The entry at p; p moves past it.
    [[gnu::always_inline]] static inline Entry decode(const char*& p);
    std::optional<std::string> add(const Entry& key);
    // Inline into the two callers: the per-key path of a large mapping.
    [[gnu::always_inline]] inline std::optional<std::string> add_soon(const Entry& key);
    // Asks for the cache lines of a hash's first slot and of the slot after it.
    template <int ForWrite>
    [[gnu::always_inline]] inline void fetch_slots(std::uint64_t hash) const;
    std::optional<std::string> find_or_index(std::uint64_t hash, std::uint64_t ref);
    void index(std::uint64_t hash, std::uint64_t ref);
    void grow();
    static Slot* allocate_slots(std::size_t count);

    // Entries: a head byte, then the magnitude or bits of a number, an identity number, a sized
    // text, or a kept text's address, size and hash. An entry never spans blocks.
    Arena entries_;
    std::uint64_t small_[kLinear] = {};
    std::size_t count_ = 0;
    // Open addressing once past kLinear keys: a power of two in size, at most half full.
    struct FreeSlots {
        void operator()(Slot* p) const noexcept;
    };
    std::unique_ptr<Slot[], FreeSlots> slots_;
    std::size_t slot_count_ = 0;
    std::optional<std::string> settle_oldest();
    // The waiting keys, a ring: oldest at first_, waiting_ of them.
    std::size_t first_ = 0;
    std::size_t waiting_ = 0;
    std::uint64_t pending_hash_[kPending] = {};
    std::uint64_t pending_ref_[kPending] = {};
};

}  // namespace solvarinth::config::yaml
