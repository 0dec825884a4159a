// Building as events stream in: one frame per open collection, each node judged when its last event
// arrives, the node path rendered from the frames only when a message needs it.
#include "config/yaml/builder.hpp"

#include <string>
#include <utility>

#include "common/utf8.hpp"
#include "config/limits.hpp"
#include "config/yaml/scalar.hpp"

namespace solvarinth::config::yaml {

Builder::Builder() {
    // One frame per level the budget allows, so that a frame never moves while it is open.
    frames_.reserve(kYamlNestingBudget + 1);
}

Builder::Role Builder::role() const {
    if (depth_ == 0) return Role::Root;
    const Frame& f = frames_[depth_ - 1];
    if (!f.mapping) return Role::Element;
    return f.at_value ? Role::Value : Role::Key;
}

void Builder::child_starts() {
    if (depth_ == 0) return;
    Level& level = top().level;
    if (level.stored != kNotStored) level.child_at = store_.size();
}

void Builder::finish_child(const Summary& s) {
    if (depth_ == 0) {
        complete_ = true;
        return;
    }
    Frame& f = top();
    f.level.done.absorb(s);
    if (f.mapping) f.at_value = !f.at_value;
    else ++f.index;
}

// A child of an identifying collection is complete with this identity.
void Builder::identified(std::uint32_t id) {
    if (identifying_ > 0) child_ids_.push_back(id);
}

bool Builder::add_key(std::optional<std::string> repeated) {
    if (!repeated) return true;
    fail_at(depth_ - 1, top().mark, *repeated);
    return false;
}

std::uint64_t Builder::any_scalar(const yaml_event_t& e, bool anchored) {
    if (!settle()) return kNotStored;
    const auto& s = e.data.scalar;
    const std::string_view text(reinterpret_cast<const char*>(s.value), s.length);
    const bool plain = s.style == YAML_PLAIN_SCALAR_STYLE;
    const std::optional<Tag> tagged = store_.classify(s.tag);
    const Tag* tag = tagged ? &*tagged : nullptr;
    const Role r = role();
    child_starts();
    const bool keep = keeping_ > 0 || anchored;
    std::uint64_t at = kNotStored;
    if (keep) {
        const auto flags = static_cast<std::uint8_t>((plain ? kPlain : 0) | (anchored ? kAliased : 0));
        at = store_.add_scalar(text, store_.tag_id(tagged), flags);
    }
    if (anchored) aliases_.built(at, Summary{});
    // Only a tag can make a value fail, so untagged values need no reading but for a key's sake.
    if (r == Role::Key || tag || identifying_ > 0) {
        const ScalarRead read = read_scalar(text, plain, tag);
        if (read.error) {
            fail_at(depth_, to_mark(e.start_mark), *read.error);
            return at;
        }
        // A key under a local tag is compared through its identity.
        const bool needs_id = identifying_ > 0 || (r == Role::Key && read.wrapper);
        const std::uint32_t id = needs_id ? ids_.scalar(read, store_.tag_id(tagged)) : 0;
        if (r == Role::Key) {
            MappingKeys& keys = top().keys;
            if (!add_key(read.wrapper ? keys.add_structural(id) : keys.add_scalar_soon(read.value))) return at;
            name_key(top(), text);
        }
        identified(id);
    }
    finish_child(Summary{});
    return at;
}

// A scalar key was recorded: its mapping may now have keys waiting, and its text names the entry.
void Builder::name_key(Frame& f, std::string_view text) {
    if (f.keys.pending()) pending_ = &f.keys;
    f.key_named = true;
    f.key.assign(text);
}

// The general path below with what cannot happen to such a scalar left out: no tag to read or
// fail, nothing kept, a child without height or aliases, a level with no stored start.
std::uint64_t Builder::inert_scalar(const yaml_event_t& e) {
    if (failure_) return kNotStored;
    Frame& f = top();
    if (!f.mapping) {
        ++f.index;
        return kNotStored;
    }
    if (f.at_value) {
        f.at_value = false;
        return kNotStored;
    }
    const auto& s = e.data.scalar;
    const std::string_view text(reinterpret_cast<const char*>(s.value), s.length);
    if (!add_key(f.keys.add_scalar_soon(resolve_untagged(text, s.style == YAML_PLAIN_SCALAR_STYLE))))
        return kNotStored;
    name_key(f, text);
    f.at_value = true;
    return kNotStored;
}

std::uint64_t Builder::start(const yaml_event_t& e, bool mapping, bool anchored) {
    if (!settle()) return kNotStored;
    const std::optional<Tag> tag = store_.classify(mapping ? e.data.mapping_start.tag : e.data.sequence_start.tag);
    const Mark mark = to_mark(e.start_mark);
    if (tag && tag->kind == TagClass::LocalEmpty) {
        fail_at(depth_, mark, kEmptyTag);
        return kNotStored;
    }
    if (budget() == 0) {
        Diagnostic message{std::string(kRecursionLimit), std::nullopt};
        append_mark(message, mark);
        fail(std::move(message));
        return kNotStored;
    }
    const Role r = role();
    child_starts();
    // An anchored node may be walked again for an alias.
    const bool opens = keeping_ == 0 && anchored;
    if (opens) ++keeping_;
    // Only a kept event or a key's identity reads the tag again.
    const bool identify = r == Role::Key || identifying_ > 0;
    const std::uint32_t tag_id = keeping_ > 0 || identify ? store_.tag_id(tag) : 0;
    std::uint64_t at = kNotStored;
    if (keeping_ > 0)
        at = store_.add_start(mapping ? EventKind::MappingStart : EventKind::SequenceStart, mark, tag_id,
                              anchored ? kAliased : 0);
    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& f = frames_[depth_++];
    f.mapping = mapping;
    f.anchored = anchored;
    f.is_key = r == Role::Key;
    f.opens_region = opens;
    f.at_value = false;
    f.key_named = false;
    f.mark = mark;
    f.index = 0;
    f.level = Level{at, kNotStored, Summary{}};
    // A collection key is compared by identity, built from its children's as they complete.
    f.identify = identify;
    f.tag = tag_id;
    f.ids_from = child_ids_.size();
    if (f.identify) ++identifying_;
    return at;
}

void Builder::end() {
    if (!settle()) return;
    Frame& f = top();
    if (keeping_ > 0) store_.add_end(f.mapping ? EventKind::MappingEnd : EventKind::SequenceEnd);
    Summary s = f.level.done;
    ++s.height;
    if (f.anchored) aliases_.built(f.level.stored, s);
    if (f.opens_region) --keeping_;
    std::uint32_t id = 0;
    if (f.identify) {
        std::uint32_t* children = child_ids_.data() + f.ids_from;
        const std::size_t count = child_ids_.size() - f.ids_from;
        id = f.mapping ? ids_.mapping(children, count, f.tag) : ids_.sequence(children, count, f.tag);
        child_ids_.resize(f.ids_from);
        --identifying_;
        if (f.anchored) ids_.remember(f.level.stored, store_.size(), id);
    }
    const bool was_key = f.is_key;
    // The keys of a closed mapping can no longer repeat.
    f.keys.clear();
    --depth_;
    if (was_key) {
        if (!add_key(top().keys.add_structural(id))) return;
        top().key_named = false;
    }
    identified(id);
    finish_child(s);
}

void Builder::alias(std::uint64_t target) {
    if (!settle()) return;
    const Role r = role();
    child_starts();
    if (keeping_ > 0) store_.add_alias(target);
    if (!aliases_.is_built(target)) return fail(aliases_.expand_enclosing(target, budget(), open_levels()));
    Summary out;
    if (auto failure = aliases_.expand(target, budget(), out)) return fail(std::move(*failure));
    if (r == Role::Key) {
        if (!add_key(alias_key(target))) return;
        top().key_named = false;
    }
    if (identifying_ > 0) identified(ids_.target(target));
    finish_child(out);
}

// An alias as a key stands for the value of the node it names. A scalar is read, hashed or
// identified once per anchor however often aliases name it: it may be large.
std::optional<std::string> Builder::alias_key(std::uint64_t target) {
    MappingKeys& keys = top().keys;
    const Event named = store_[target];
    if (named.kind != EventKind::Scalar) return keys.add_structural(ids_.target(target));
    auto [found, fresh] = alias_keys_.try_emplace(target);
    AliasKey& key = found->second;
    if (fresh) {
        const ScalarRead read = read_scalar(store_, named);
        key.wrapped = read.wrapper != nullptr;
        if (key.wrapped) key.id = ids_.target(target);
        key.value = read.value;
        key.hash = MappingKeys::hash_scalar(read.value);
    }
    if (key.wrapped) return keys.add_structural(key.id);
    if (key.value.kind != ScalarKind::String) return keys.add_scalar(key.value);
    return keys.add_kept_string(key.value, key.hash);
}

std::vector<Level> Builder::open_levels() const {
    std::vector<Level> levels;
    for (std::size_t i = 0; i < depth_; ++i) levels.push_back(frames_[i].level);
    return levels;
}

void Builder::cut_short(const Diagnostic& reason) {
    if (settle() && !complete_) fail(reason);
}

// A key left pending is judged before anything after it in the document; false when building has
// failed, there or before.
bool Builder::settle() {
    if (failure_) return false;
    if (!pending_) return true;
    MappingKeys& keys = *pending_;
    pending_ = nullptr;
    return add_key(keys.settle());
}

// Where the child of the innermost of the first `frames` frames sits: "." at the top, "a.b"
// under keys, ".[0]" and "a[1]" for sequence elements, "?" for an entry whose key is not a
// scalar. A key sits where its mapping does.
std::string Builder::render(std::size_t frames) const {
    std::string out = ".";
    bool at_root = true;
    for (std::size_t i = 0; i < frames; ++i) {
        const Frame& f = frames_[i];
        if (!f.mapping) {
            out += '[' + std::to_string(f.index) + ']';
        } else if (f.at_value) {
            if (at_root) out.clear();
            else out += '.';
            out += f.key_named && is_valid_utf8(f.key) ? std::string_view(f.key) : std::string_view("?");
        } else {
            continue;
        }
        at_root = false;
    }
    return out;
}

void Builder::fail(Diagnostic message) { failure_ = BuildFailure{std::move(message), aliases_.expansions()}; }

void Builder::fail_at(std::size_t frames, Mark mark, std::string_view text) {
    const std::string where = render(frames);
    Diagnostic message{(where == "." ? std::string() : where + ": ") + std::string(text), std::nullopt};
    append_mark(message, mark);
    fail(std::move(message));
}

}  // namespace solvarinth::config::yaml
