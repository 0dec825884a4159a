// Scalar values: type resolution of plain scalars, the core schema tags, and the texts that
// name a scalar in error messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/yaml/tag.hpp"

namespace solvarinth::config::yaml {

class Store;
struct Event;

enum class ScalarKind : std::uint8_t { Null, Bool, Int, Float, String };

// A resolved scalar value, the one form in which building reads, compares and names scalars.
struct Scalar {
    ScalarKind kind = ScalarKind::String;
    bool flag = false;  // Bool: the value; Int: negative
    union {
        std::uint64_t magnitude = 0;  // Int: absolute value (fits 64 bits signed or unsigned)
        double real;                  // Float
    };
    std::string_view text;  // String
};

// A plain untagged scalar: null, boolean, integer, float, or else a string.
Scalar resolve_plain(std::string_view text);

// An untagged scalar: a plain one resolved, any other style a string. Inline: most scalars of a
// large document come through here.
inline Scalar resolve_untagged(std::string_view text, bool plain) {
    if (plain) return resolve_plain(text);
    Scalar value;
    value.text = text;
    return value;
}

// The scalar's value under a core tag (Bool, Int, Float, Null), or nothing when the text is not
// a value of that kind.
std::optional<Scalar> resolve_core(TagClass tag, std::string_view text);

// "invalid value: string "text", expected <kind>" for a scalar that fails its core tag.
std::string invalid_value(TagClass tag, std::string_view text);

// A float as its shortest round-trip text: 1.0, 1.5, 1e16, 1e-7, .inf, -.inf, .nan.
std::string format_float(double value);

// One scalar event as the builder sees it: its value, the local tag that wraps it, if any, or
// the message building fails with.
struct ScalarRead {
    Scalar value;
    const Tag* wrapper = nullptr;
    std::optional<std::string> error;
};
// A scalar from its text, its style (plain or not) and its tag, if any.
ScalarRead read_scalar(std::string_view text, bool plain, const Tag* tag);
// A kept scalar event.
ScalarRead read_scalar(const Store& store, const Event& scalar);

}  // namespace solvarinth::config::yaml
