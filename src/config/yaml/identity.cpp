// Key identity by hash-consing: a node's identity is looked up from its kind, its scalar value
// or its children's identities, so structural equality never recurses into the children again.
// The table is under the keyed hash, so no text can be crafted to make its lookups slow.
#include "config/yaml/identity.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#include "common/fault.hpp"
#include "config/yaml/arena.hpp"
#include "config/yaml/keyed_hash.hpp"
#include "config/yaml/keys.hpp"

namespace solvarinth::config::yaml {
namespace {

constexpr std::uint32_t kNoNode = std::numeric_limits<std::uint32_t>::max();

// Part positions and counts are 32-bit: a collection of 2^32 children would take 16 GiB of its
// own identities and more of events before it got here.
std::uint32_t checked_count(std::size_t count) {
    if (count >= kNoNode) fatal(kOutOfMemory);
    return static_cast<std::uint32_t>(count);
}

std::uint64_t scalar_domain(ScalarKind kind, bool flag) {
    return config::scalar_domain(static_cast<unsigned>(kind), flag);
}

}  // namespace

std::uint32_t Identities::scalar(const ScalarRead& read, std::uint32_t tag) {
    if (read.error) fatal("YAML identity taken of a scalar that failed to build");
    const Scalar& v = read.value;
    Candidate c;
    c.node.scalar = v.kind;
    c.node.flag = v.flag;
    if (v.kind == ScalarKind::String) c.text = v.text;
    else c.node.set_number(v.kind == ScalarKind::Float ? key_bits(v.real) : v.kind == ScalarKind::Int ? v.magnitude : 0);
    c.hash = v.kind == ScalarKind::String ? hash_text(scalar_domain(v.kind, v.flag), v.text)
                                          : hash_word(scalar_domain(v.kind, v.flag), c.node.number());
    const std::uint32_t id = intern(c);
    return read.wrapper ? wrap(tag, id) : id;
}

std::uint32_t Identities::sequence(const std::uint32_t* items, std::size_t count, std::uint32_t tag) {
    return collection(Kind::Sequence, items, count, tag);
}

// Keys within a mapping are distinct, so ordering the entries by key gives one form per value.
std::uint32_t Identities::mapping(std::uint32_t* entries, std::size_t count, std::uint32_t tag) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs(count / 2);
    for (std::size_t i = 0; i < pairs.size(); ++i) pairs[i] = {entries[2 * i], entries[2 * i + 1]};
    std::sort(pairs.begin(), pairs.end());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        entries[2 * i] = pairs[i].first;
        entries[2 * i + 1] = pairs[i].second;
    }
    return collection(Kind::Mapping, entries, count, tag);
}

std::uint32_t Identities::collection(Kind kind, const std::uint32_t* parts, std::size_t count, std::uint32_t tag) {
    Candidate c;
    c.node.kind = kind;
    c.count = checked_count(count);
    c.parts = parts;
    c.hash = hash_numbers(collection_domain(kind), parts, count);
    return wrap(tag, intern(c));
}

std::uint32_t Identities::wrap(std::uint32_t tag, std::uint32_t inner) {
    if (tag == 0 || store_.tag_at(tag).kind != TagClass::Local) return inner;
    Candidate c;
    c.node.kind = Kind::Tagged;
    c.node.set_tagged(inner, tag);
    c.hash = hash_word(kTaggedDomain ^ std::uint64_t{inner} << 16, tag);
    return intern(c);
}

std::uint64_t Identities::collection_domain(Kind kind) {
    return kind == Kind::Sequence ? kSequenceDomain : kMappingDomain;
}

// The hash a node was interned under, made again from what it holds.
std::uint64_t Identities::hash_of(const Node& n) const {
    switch (n.kind) {
        case Kind::Scalar:
            if (n.scalar == ScalarKind::String) return hash_text(scalar_domain(n.scalar, n.flag), text_of(n));
            return hash_word(scalar_domain(n.scalar, n.flag), n.number());
        case Kind::Tagged:
            return hash_word(kTaggedDomain ^ std::uint64_t{n.inner()} << 16, n.tag());
        case Kind::Sequence:
        case Kind::Mapping:
            break;
    }
    if (n.count() == 1) return hash_numbers(collection_domain(n.kind), n.only_part(), 1);
    return hash_numbers(collection_domain(n.kind), parts_.begin() + n.parts_from(), n.count());
}

void Identities::remember(std::uint64_t at, std::uint64_t end, std::uint32_t id) { aliased_.emplace(at, Remembered{id, end}); }

std::uint32_t Identities::target(std::uint64_t at) {
    std::uint64_t pos = at;
    return of(pos);
}

// The identity of the kept node starting at pos, which building has already accepted; pos moves
// past the node. An anchored node is read once: its identity and end are kept, so reading an
// enclosing node, or another alias, steps over it.
std::uint32_t Identities::of(std::uint64_t& pos) {
    const std::uint64_t at = pos;
    const Event e = store_.next(pos);
    if (e.flags & kAliased) {
        if (const auto found = aliased_.find(at); found != aliased_.end()) {
            pos = found->second.end;
            return found->second.id;
        }
    }
    std::uint32_t id;
    switch (e.kind) {
        case EventKind::Alias:
            return target(e.payload);
        case EventKind::Scalar:
            id = scalar(read_scalar(store_, e), e.tag);
            break;
        case EventKind::SequenceStart:
        case EventKind::MappingStart:
            id = of_collection(pos, e.kind == EventKind::MappingStart, e.tag);
            break;
        default:
            fatal("YAML identity taken at the end of a collection");
    }
    if (e.flags & kAliased) remember(at, pos, id);
    return id;
}

std::uint32_t Identities::of_collection(std::uint64_t& pos, bool mapping, std::uint32_t tag) {
    std::vector<std::uint32_t> parts;
    const EventKind end = mapping ? EventKind::MappingEnd : EventKind::SequenceEnd;
    while (store_.kind(pos) != end) parts.push_back(of(pos));
    pos = store_.after(pos);
    return mapping ? this->mapping(parts.data(), parts.size(), tag) : sequence(parts.data(), parts.size(), tag);
}

std::string_view Identities::text_of(const Node& n) const { return texts_.sized_at(n.number()); }

bool Identities::equal(const Node& known, const Candidate& c) const {
    const Node& x = c.node;
    if (known.check != x.check || known.kind != x.kind) return false;
    switch (x.kind) {
        case Kind::Scalar:
            if (known.scalar != x.scalar || known.flag != x.flag) return false;
            return x.scalar == ScalarKind::String ? text_of(known) == c.text : known.number() == x.number();
        case Kind::Tagged:
            // Local tags of the same name share a number.
            return known.inner() == x.inner() && known.tag() == x.tag();
        case Kind::Sequence:
        case Kind::Mapping:
            break;
    }
    if (known.count() != c.count) return false;
    if (c.count == 1) return *known.only_part() == c.parts[0];
    for (std::uint32_t i = 0; i < c.count; ++i)
        if (parts_[known.parts_from() + i] != c.parts[i]) return false;
    return true;
}

// The identity of an equal node already interned, or of this one, stored now.
std::uint32_t Identities::intern(Candidate c) {
    if ((nodes_.size() + 1) * 4 > slots_.size() * 3) grow();
    c.node.check = static_cast<std::uint8_t>(c.hash >> 56);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = c.hash & mask;
    for (; slots_[i] != kNoNode; i = (i + 1) & mask)
        if (equal(nodes_[slots_[i]], c)) return slots_[i];
    // Identities and part positions are 32-bit; a document large enough to need more has run out
    // of memory long before (each node costs 16 bytes, each part 4, plus their slots).
    if (nodes_.size() >= kNoNode || parts_.size() + c.count >= kNoNode) fatal(kOutOfMemory);
    Node& stored = nodes_.emplace_back(c.node);
    if (c.parts && c.count == 1) {
        stored.set_parts(c.parts[0], 1);
    } else if (c.parts) {
        stored.set_parts(static_cast<std::uint32_t>(parts_.size()), c.count);
        parts_.insert(parts_.end(), c.parts, c.parts + c.count);
    } else if (c.node.kind == Kind::Scalar && c.node.scalar == ScalarKind::String) {
        stored.set_number(texts_.add_sized(c.text));
    }
    const auto id = static_cast<std::uint32_t>(nodes_.size() - 1);
    slots_[i] = id;
    return id;
}

// Every node is indexed again, its hash made anew; the old table goes first, so that the two are
// never held at once.
void Identities::grow() {
    const std::size_t size = slots_.empty() ? 64 : slots_.size() * 2;
    slots_ = std::vector<std::uint32_t>();
    slots_.assign(size, kNoNode);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t id = 0; id < nodes_.size(); ++id) {
        std::size_t i = hash_of(nodes_[id]) & mask;
        while (slots_[i] != kNoNode) i = (i + 1) & mask;
        slots_[i] = static_cast<std::uint32_t>(id);
    }
}

}  // namespace solvarinth::config::yaml
