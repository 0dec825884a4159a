// The keys of one open mapping, for finding a repeated key: scalar keys packed into a few bytes
// each and found by a hash of their value, collection and tagged keys by their identity number.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/yaml_scalar.hpp"

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
    // Records a collection or tagged key by its identity number, with the same result.
    std::optional<std::string> add_structural(std::uint32_t id);
    // Forgets every key; storage beyond a small first block is released.
    void clear() noexcept;

private:
    static constexpr std::size_t kLinear = 8;
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t ref = kEmpty;
    };

    std::uint32_t append(const Scalar& key);
    const char* at(std::uint32_t ref) const { return chunks_[ref >> 20].get() + (ref & 0xFFFFF); }
    Scalar value_at(std::uint32_t ref) const;
    char* reserve(std::size_t bytes);
    void index(std::uint32_t hash, std::uint32_t ref);
    void grow();

    // Entries: a kind byte, then the magnitude or bits of a number, or a size and the bytes of a
    // text. An entry never spans blocks; a reference is the block's number and the offset.
    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t used_ = 0;      // in the last block
    std::size_t capacity_ = 0;  // of the last block
    std::uint32_t small_[kLinear] = {};
    std::size_t count_ = 0;
    // Open addressing once past kLinear keys: a power of two in size, at most half full.
    std::unique_ptr<Slot[]> slots_;
    std::size_t slot_count_ = 0;
    std::set<std::uint32_t> structural_;
};

}  // namespace solvarinth::config::yaml
