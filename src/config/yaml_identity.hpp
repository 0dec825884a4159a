// Identity of collection and tagged keys: one number per distinct value, so that such keys
// compare in constant time however large they are or however many aliases they expand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <unordered_map>
#include <vector>

#include "config/yaml_scalar.hpp"
#include "config/yaml_store.hpp"

namespace solvarinth::config::yaml {

class Identities {
public:
    explicit Identities(const Store& store) : store_(store), table_(Order{this}) {}
    Identities(const Identities&) = delete;
    Identities& operator=(const Identities&) = delete;

    // The identity of the node starting at event pos, which building has already accepted;
    // pos moves past the node. Equal identities mean equal values: scalars as compare_keys
    // has them, collections and tagged values structurally, mappings regardless of order.
    std::uint32_t of(std::size_t& pos);
    // The identity of a scalar event whose reading the caller already holds.
    std::uint32_t scalar(const Event& e, const ScalarRead& read);
    // The identity of the anchored node at event at, as an alias to it stands for.
    std::uint32_t target(std::uint64_t at);

private:
    enum class Kind : std::uint8_t { Scalar, Sequence, Mapping, Tagged };

    // 24 bytes, however long a key's scalars are: a key as large as the document itself may
    // intern a node for each of its events.
    struct Node {
        // Scalar: Int magnitude, Float bits, String arena offset of its text; Tagged: inner identity
        std::uint64_t number = 0;
        std::uint32_t first = 0;  // Sequence, Mapping: children in parts_[first, first + count);
                                  // Tagged: the event's tag number
        std::uint32_t count = 0;
        Kind kind = Kind::Scalar;
        ScalarKind scalar = ScalarKind::Null;
        bool flag = false;  // Scalar: as Scalar::flag
    };

    // A total order on node contents. Ordered rather than hashed, so that no text can be
    // crafted to make lookups slow.
    struct Order {
        const Identities* self;
        bool operator()(std::uint32_t a, std::uint32_t b) const { return self->less(a, b); }
    };

    Scalar value_of(const Node& leaf) const;
    std::uint32_t sequence(std::size_t& pos);
    std::uint32_t mapping(std::size_t& pos);
    std::uint32_t wrap(std::uint32_t tag, std::uint32_t inner);
    std::uint32_t intern(const Node& node, const std::vector<std::uint32_t>& parts = {});
    bool less(std::uint32_t a, std::uint32_t b) const;

    const Store& store_;
    // Deques, so that growing never holds two copies at once.
    std::deque<Node> nodes_;
    std::deque<std::uint32_t> parts_;
    std::set<std::uint32_t, Order> table_;
    std::unordered_map<std::uint64_t, std::uint32_t> aliased_;  // anchored event -> identity
};

}  // namespace solvarinth::config::yaml
