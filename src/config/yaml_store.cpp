// The kept events: compact records, scalar texts behind size prefixes, marks too wide for the
// record kept aside, and tags classified once per distinct text.
#include "config/yaml_store.hpp"

#include "common/utf8.hpp"

namespace solvarinth::config::yaml {
namespace {

Tag classify(std::string_view text) {
    constexpr std::string_view kCore = "tag:yaml.org,2002:";
    if (text.starts_with(kCore)) {
        const std::string_view kind = text.substr(kCore.size());
        if (kind == "bool") return {std::string(text), TagClass::Bool, 0};
        if (kind == "int") return {std::string(text), TagClass::Int, 0};
        if (kind == "float") return {std::string(text), TagClass::Float, 0};
        if (kind == "null") return {std::string(text), TagClass::Null, 0};
    }
    if (!text.starts_with('!')) return {std::string(text), TagClass::Other, 0};
    const std::string_view rest = text.substr(1);
    if (!is_valid_utf8(rest)) return {std::string(text), TagClass::LocalUnreadable, 0};
    if (rest.empty()) return {std::string(text), TagClass::LocalEmpty, 0};
    // "!x" and a verbatim "!<!!x>" name the same tag.
    return {std::string(text), TagClass::Local, rest.starts_with('!') ? std::size_t{2} : 1};
}

}  // namespace

std::string_view Store::text_at(std::uint64_t offset) const {
    std::uint64_t at = offset;
    std::uint64_t size = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(arena_[at++]);
        size |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) break;
    }
    return std::string_view(arena_).substr(at, size);
}

Mark Store::mark(std::size_t i) const {
    const Event& e = events_[i];
    if (e.line == kWideMark) return wide_marks_.at(i);
    return Mark{e.line, e.column};
}

std::uint32_t Store::tag_id(std::string_view text) {
    if (const auto found = tag_ids_.find(text); found != tag_ids_.end()) return found->second;
    tags_.push_back(classify(text));
    const auto id = static_cast<std::uint32_t>(tags_.size());
    tag_ids_.emplace(std::string(text), id);
    return id;
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
    const std::uint64_t at = arena_.size();
    std::uint64_t n = text.size();
    do {
        const auto low = static_cast<unsigned char>(n & 0x7F);
        n >>= 7;
        arena_.push_back(static_cast<char>(n ? (low | 0x80) : low));
    } while (n);
    arena_.append(text);
    const std::size_t i = add(EventKind::Scalar, mark, tag, flags);
    events_[i].payload = at;
    return i;
}

std::size_t Store::add_alias(std::uint64_t target, Mark mark) {
    const std::size_t i = add(EventKind::Alias, mark);
    events_[i].payload = target;
    return i;
}

}  // namespace solvarinth::config::yaml
