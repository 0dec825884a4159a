// Distinct texts numbered 1, 2, ... in the order they first come: the one table for the names a
// config can give in any number (anchor names, local tag names). Each text is kept once, in an
// arena; lookups go through open addressing under the keyed hash of the text, at most half full,
// 0 marking an empty slot, so no text can be crafted to make them slow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "config/yaml/arena.hpp"

namespace solvarinth::config::yaml {

class TextIds {
public:
    explicit TextIds(std::uint64_t domain) : domain_(domain) {}
    TextIds(const TextIds&) = delete;
    TextIds& operator=(const TextIds&) = delete;

    // The text's number, 0 when it has none.
    std::uint32_t find(std::string_view text) const;
    // The text's number, given now when it has none; added tells which.
    std::uint32_t add(std::string_view text, bool& added);
    std::string_view text(std::uint32_t id) const { return texts_.sized_at(refs_[id - 1]); }

private:
    std::size_t slot_of(std::string_view text) const;
    void grow();

    std::uint64_t domain_;
    Arena texts_;
    std::deque<std::uint64_t> refs_;    // each number's text, by number - 1
    std::vector<std::uint32_t> slots_;  // numbers; 0 for an empty slot
};

}  // namespace solvarinth::config::yaml
