// The kept events: compact records, scalar texts behind size prefixes, marks too wide for the
// record kept aside, and tags classified once per distinct text.
#include "config/yaml/store.hpp"

#include <cstring>

#include "common/fault.hpp"
#include "common/utf8.hpp"
#include "config/yaml/keyed_hash.hpp"

namespace solvarinth::config::yaml {
namespace {

constexpr std::uint64_t kTagDomain = 0x200;

Tag classify(std::string_view text) {
    constexpr std::string_view kCore = "tag:yaml.org,2002:";
    if (text.starts_with(kCore)) {
        const std::string_view kind = text.substr(kCore.size());
        if (kind == "bool") return {text, TagClass::Bool};
        if (kind == "int") return {text, TagClass::Int};
        if (kind == "float") return {text, TagClass::Float};
        if (kind == "null") return {text, TagClass::Null};
    }
    if (!text.starts_with('!')) return {text, TagClass::Other};
    const std::string_view rest = text.substr(1);
    if (!is_valid_utf8(rest)) return {text, TagClass::LocalUnreadable};
    if (rest.empty()) return {text, TagClass::LocalEmpty};
    // "!x" and a verbatim "!<!!x>" name the same tag.
    return {text, TagClass::Local, static_cast<std::uint8_t>(rest.starts_with('!') ? 2 : 1)};
}

}  // namespace

Mark Store::mark(std::size_t i) const {
    const Event& e = events_[i];
    if (e.line == kWideMark) return wide_marks_.at(i);
    return Mark{e.line, e.column};
}

std::uint32_t Store::tag_id(std::string_view text) {
    if ((tags_.size() + 1) * 2 > tag_slots_.size()) grow_tag_slots();
    const std::size_t mask = tag_slots_.size() - 1;
    std::size_t i = hash_text(kTagDomain, text) & mask;
    for (; tag_slots_[i] != 0; i = (i + 1) & mask)
        if (tags_[tag_slots_[i] - 1].text == text) return tag_slots_[i];
    // Tag numbers are 32-bit: 2^32 distinct tags would need a document of many gigabytes whose
    // events and texts have run out of memory long before.
    if (tags_.size() >= UINT32_MAX - 1) fatal(kOutOfMemory);
    std::uint64_t ref;
    char* kept = tag_texts_.reserve(text.size(), ref);
    std::memcpy(kept, text.data(), text.size());
    tags_.push_back(classify(std::string_view(kept, text.size())));
    tag_slots_[i] = static_cast<std::uint32_t>(tags_.size());
    return tag_slots_[i];
}

void Store::grow_tag_slots() {
    const std::size_t size = tag_slots_.empty() ? 16 : tag_slots_.size() * 2;
    tag_slots_ = std::vector<std::uint32_t>();
    tag_slots_.assign(size, 0);
    for (std::size_t id = 1; id <= tags_.size(); ++id) {
        std::size_t i = hash_text(kTagDomain, tags_[id - 1].text) & (size - 1);
        while (tag_slots_[i] != 0) i = (i + 1) & (size - 1);
        tag_slots_[i] = static_cast<std::uint32_t>(id);
    }
}

std::size_t Store::add(EventKind kind, Mark mark, std::uint32_t tag, std::uint8_t flags) {
    Event& event = events_.emplace_back();
    event.kind = kind;
    event.tag = tag;
    event.flags = flags;
    if (mark.line < kWideMark && mark.column < kWideMark) {
        event.line = static_cast<std::uint32_t>(mark.line);
        event.column = static_cast<std::uint32_t>(mark.column);
    } else {
        event.line = event.column = kWideMark;
        wide_marks_.emplace(events_.size() - 1, mark);
    }
    return events_.size() - 1;
}

std::size_t Store::add_scalar(std::string_view text, Mark mark, std::uint32_t tag, std::uint8_t flags) {
    std::uint64_t ref;
    char* p = texts_.reserve(kMostSizeBytes + text.size(), ref);
    char* kept = put_size(p, text.size());
    std::memcpy(kept, text.data(), text.size());
    texts_.give_back(static_cast<std::size_t>(kMostSizeBytes - (kept - p)));
    const std::size_t i = add(EventKind::Scalar, mark, tag, flags);
    events_[i].payload = ref;
    return i;
}

std::size_t Store::add_alias(std::uint64_t target, Mark mark) {
    const std::size_t i = add(EventKind::Alias, mark);
    events_[i].payload = target;
    return i;
}

}  // namespace solvarinth::config::yaml
