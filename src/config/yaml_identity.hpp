// Mapping key identity: when two keys are the same value, and how a repeated key is named.
// Scalar keys, nearly all keys in practice, compare by their resolved value; collection and
// tagged keys get one number per distinct value, so that they compare in constant time however
// large they are or however many aliases they expand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/yaml_events.hpp"
#include "config/yaml_scalar.hpp"

namespace solvarinth::config::yaml {

// Orders scalar keys by value: null equals null, booleans and integers by value, floats by value
// (all NaNs equal, -0.0 equals 0.0), strings by text; kinds never equal each other.
struct ValueLess {
    bool operator()(const Scalar& a, const Scalar& b) const;
};

class Identities {
public:
    explicit Identities(const Document& doc) : doc_(doc), table_(Order{this}) {}
    Identities(const Identities&) = delete;
    Identities& operator=(const Identities&) = delete;

    // The identity of the node starting at event pos, which building has already accepted;
    // pos moves past the node. Equal identities mean equal values: scalars as ValueLess
    // has them, collections and tagged values structurally, mappings regardless of order.
    std::uint32_t of(std::size_t& pos);
    // The identity of a scalar event whose reading the caller already holds.
    std::uint32_t scalar(const Event& e, const ScalarRead& read);

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
    std::uint32_t target(std::uint64_t at);
    std::uint32_t wrap(std::uint32_t tag, std::uint32_t inner);
    std::uint32_t intern(const Node& node, const std::vector<std::uint32_t>& parts = {});
    bool less(std::uint32_t a, std::uint32_t b) const;

    const Document& doc_;
    // Deques, so that growing never holds two copies at once.
    std::deque<Node> nodes_;
    std::deque<std::uint32_t> parts_;
    std::set<std::uint32_t, Order> table_;
    std::unordered_map<std::uint64_t, std::uint32_t> aliased_;  // anchored event -> identity
};

// The keys met so far in one mapping. Scalar keys compare right here, by a short linear scan
// while the mapping is small; collection and tagged keys go through the document-wide identity
// table. Ordered containers, so that no text can be crafted to make lookups slow.
class MappingKeys {
public:
    MappingKeys(const Document& doc, Identities& ids) : doc_(doc), ids_(ids) {}

    // Records the key node that starts at event key_at, which building has accepted; read is
    // its scalar's reading when building took one. When an earlier key has the same value, the
    // failure text naming that earlier key instead.
    std::optional<std::string> add(std::size_t key_at, const std::optional<ScalarRead>& read);

private:
    static constexpr std::size_t kLinear = 8;

    std::optional<std::string> add_scalar(const Scalar& key);

    const Document& doc_;
    Identities& ids_;
    std::vector<Scalar> small_;
    std::set<Scalar, ValueLess> index_;
    std::set<std::uint32_t> structural_;  // identities of collection and tagged keys
};

}  // namespace solvarinth::config::yaml
