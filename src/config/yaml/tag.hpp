// A node's tag as building sees it: its class, and the name that tagged values compare.
#pragma once

#include <cstdint>
#include <string_view>

namespace solvarinth::config::yaml {

// What a node's tag does to building.
enum class TagClass : std::uint8_t {
    Local,            // "!name": the node becomes a tagged value
    LocalEmpty,       // "!" alone: building fails
    LocalUnreadable,  // "!" and bytes that are not UTF-8: the node reads as untagged
    Bool,             // core schema tags: a scalar must be a valid value of the kind
    Int,
    Float,
    Null,
    Other,            // a scalar carrying it is a string, a collection is unchanged
};

// Building a node tagged "!" alone fails with this text, scalar or collection.
inline constexpr std::string_view kEmptyTag = "empty YAML tag is not allowed";

struct Tag {
    std::string_view text;     // as resolved by libyaml, handles expanded; kept by the store
    TagClass kind;
    std::uint8_t name_at = 0;  // Local: where the name compared between tagged values starts in text

    std::string_view name() const { return text.substr(name_at); }
};

}  // namespace solvarinth::config::yaml
