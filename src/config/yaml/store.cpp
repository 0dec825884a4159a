// The kept events: compact records, scalar texts behind size prefixes, marks too wide for the
// record kept aside, and tags classified once per distinct text.
#include "config/yaml/store.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "common/fault.hpp"
#include "common/utf8.hpp"
#include "config/yaml/keyed_hash.hpp"

namespace solvarinth::config::yaml {
namespace {

// The classes whose tags need nothing but the class: each has one tag number, its own value.
constexpr TagClass kTextlessClasses[] = {TagClass::LocalEmpty, TagClass::LocalUnreadable, TagClass::Bool,
                                         TagClass::Int,        TagClass::Float,           TagClass::Null,
                                         TagClass::Other};
static_assert(static_cast<int>(TagClass::Local) == 0 && static_cast<int>(TagClass::Other) == 7,
              "textless classes are numbered 1 to 7");

// How many leading bytes a and b share: the library's memcmp a block at a time, as fast as
// libyaml's own copy of the same bytes, then byte by byte in the block that differs.
std::size_t shared_prefix(std::string_view a, std::string_view b) {
    constexpr std::size_t kBlock = 1024;
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i + kBlock <= n && std::memcmp(a.data() + i, b.data() + i, kBlock) == 0) i += kBlock;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

}  // namespace

Store::Store() {
    for (TagClass c : kTextlessClasses) tags_.push_back(Tag{std::string_view(), c});
}

std::optional<Tag> Store::classify(const yaml_char_t* tag) {
    if (!tag) return std::nullopt;
    const std::string_view text = text_of(tag);
    constexpr std::string_view kCore = "tag:yaml.org,2002:";
    if (text.starts_with(kCore)) {
        const std::string_view kind = text.substr(kCore.size());
        if (kind == "bool") return Tag{text, TagClass::Bool};
        if (kind == "int") return Tag{text, TagClass::Int};
        if (kind == "float") return Tag{text, TagClass::Float};
        if (kind == "null") return Tag{text, TagClass::Null};
    }
    if (!text.starts_with('!')) return Tag{text, TagClass::Other};
    const std::string_view rest = text.substr(1);
    if (rest.empty()) return Tag{text, TagClass::LocalEmpty};
    if (!valid_local_name(rest)) return Tag{text, TagClass::LocalUnreadable};
    // "!x" and a verbatim "!<!!x>" name the same tag.
    return Tag{text, TagClass::Local, static_cast<std::uint8_t>(rest.starts_with('!') ? 2 : 1)};
}

// Whether the bytes after a tag's "!" are UTF-8. They can be anything: a %-escape decodes to any
// byte. The bytes shared with the last valid name kept, up to the last code point that starts
// within them, are valid already, so only the rest is checked. A name becomes the one kept only
// when it shares less than half of itself with it: names that differ only at their ends (one
// %TAG prefix, many suffixes) are then compared with the first and never copied.
bool Store::valid_local_name(std::string_view name) {
    const std::size_t shared = shared_prefix(name, last_valid_);
    if (shared == name.size() && shared == last_valid_.size()) return true;
    std::size_t from = shared;
    if (from == name.size() && from > 0) --from;  // the name may end inside a code point
    while (from > 0 && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) --from;
    if (!is_valid_utf8(name.substr(from))) return false;
    if (shared < name.size() / 2) last_valid_.assign(name);
    return true;
}

// Records: a head byte (the kind in its low bits, the flags above, kTagged), a 4-byte tag number
// when tagged, then a scalar's 5-byte text reference, an alias's 8-byte target, a collection
// start's 4-byte payload when anchored and its mark as two sizes; an end has nothing more.
namespace {

constexpr std::size_t kTextRefBytes = 5;  // an arena reference is 40 bits
static_assert(Arena::kOffsetBits + Arena::kBlockBits <= 8 * kTextRefBytes);

std::uint64_t read_bytes(const char*& p, std::size_t n) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, n);  // little-endian hosts only, as the records never leave the process
    p += n;
    return v;
}

}  // namespace

char* Store::add_record(EventKind kind, std::uint32_t tag, std::uint8_t flags, std::size_t bytes,
                        std::uint64_t& at) {
    const std::size_t size = 1 + (tag ? 4 : 0) + bytes;
    char* p = records_.reserve(size, at);
    *p++ = static_cast<char>(static_cast<unsigned>(kind) | flags << kFlagShift | (tag ? kTagged : 0));
    if (tag) {
        std::memcpy(p, &tag, 4);
        p += 4;
    }
    return p;
}

std::uint64_t Store::add_start(EventKind kind, Mark mark, std::uint32_t tag, std::uint8_t flags) {
    char sizes[2 * kMostSizeBytes];
    const std::size_t mark_bytes = static_cast<std::size_t>(put_size(put_size(sizes, mark.line), mark.column) - sizes);
    const std::size_t payload = flags & kAliased ? 4 : 0;
    std::uint64_t at;
    char* p = add_record(kind, tag, flags, payload + mark_bytes, at);
    std::memset(p, 0, payload);
    std::memcpy(p + payload, sizes, mark_bytes);
    return at;
}

std::uint64_t Store::add_end(EventKind kind) {
    std::uint64_t at;
    add_record(kind, 0, 0, 0, at);
    return at;
}

void Store::set_payload(std::uint64_t at, std::uint32_t value) {
    char* p = records_.at_mut(at);
    if (!(static_cast<unsigned char>(*p) >> kFlagShift & kAliased)) fatal("YAML payload set on an unanchored event");
    std::memcpy(p + 1 + (*p & kTagged ? 4 : 0), &value, 4);
}

Event Store::next(std::uint64_t& pos) const {
    pos = records_.settled(pos);
    const char* const start = records_.at(pos);
    const char* p = start;
    const auto head = static_cast<unsigned char>(*p++);
    Event e;
    e.kind = static_cast<EventKind>(head & kKindBits);
    e.flags = static_cast<std::uint8_t>(head >> kFlagShift & (kPlain | kAliased));
    if (head & kTagged) e.tag = static_cast<std::uint32_t>(read_bytes(p, 4));
    switch (e.kind) {
        case EventKind::Scalar:
            e.payload = read_bytes(p, kTextRefBytes);
            break;
        case EventKind::Alias:
            e.payload = read_bytes(p, 8);
            break;
        case EventKind::SequenceStart:
        case EventKind::MappingStart:
            if (e.flags & kAliased) e.payload = read_bytes(p, 4);
            get_size(p);
            get_size(p);
            break;
        case EventKind::SequenceEnd:
        case EventKind::MappingEnd:
            break;
    }
    pos = records_.after(pos, static_cast<std::size_t>(p - start));
    return e;
}

Mark Store::mark(std::uint64_t at) const {
    const char* p = records_.at(records_.settled(at));
    const auto head = static_cast<unsigned char>(*p++);
    const auto kind = static_cast<EventKind>(head & kKindBits);
    if (kind != EventKind::SequenceStart && kind != EventKind::MappingStart) fatal("YAML mark asked of a kept event without one");
    if (head & kTagged) p += 4;
    if (head >> kFlagShift & kAliased) p += 4;
    Mark mark;
    mark.line = get_size(p);
    mark.column = get_size(p);
    return mark;
}

std::uint32_t Store::tag_id(const Tag& tag) {
    if (tag.kind != TagClass::Local) return static_cast<std::uint32_t>(tag.kind);
    const std::string_view name = tag.name();
    if (last_local_ != 0 && tags_[last_local_ - 1].text == name) return last_local_;
    bool added;
    const std::uint32_t number = local_names_.add(name, added);
    // The record keeps the name alone: nothing reads a kept local tag's text but its name.
    if (added) tags_.push_back(Tag{local_names_.text(number), TagClass::Local});
    if (number > UINT32_MAX - std::size(kTextlessClasses)) fatal(kOutOfMemory);
    return last_local_ = static_cast<std::uint32_t>(std::size(kTextlessClasses)) + number;
}

std::uint64_t Store::add_scalar(std::string_view text, std::uint32_t tag, std::uint8_t flags) {
    const std::uint64_t ref = texts_.add_sized(text);
    std::uint64_t at;
    std::memcpy(add_record(EventKind::Scalar, tag, flags, kTextRefBytes, at), &ref, kTextRefBytes);
    return at;
}

std::uint64_t Store::add_alias(std::uint64_t target) {
    std::uint64_t at;
    std::memcpy(add_record(EventKind::Alias, 0, 0, 8, at), &target, 8);
    return at;
}

}  // namespace solvarinth::config::yaml
