// Argument binding and value conversion shared by every callable of the module.
#pragma once

#include "module/fixed_texts.hpp"
#include "module/pyref.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace solvarinth::py {

inline constexpr std::size_t kMaxParameters = 5;

// An ordered list of positional-or-keyword parameters, the first `required` of them required.
struct Signature {
    const char* full_name;  // "train_from_config()" or "TrainerConfig.__new__()"
    std::span<const char* const> names;
    std::size_t required;
};

// Borrowed references to the bound values in parameter order; nullptr when unbound.
using BoundArguments = std::array<PyObject*, kMaxParameters>;

// Binds a vectorcall-style call (values, positional count, keyword-name tuple or NULL).
// On failure a TypeError is set and false returned.
bool bind_fastcall(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                   BoundArguments& bound) noexcept;

// Binds a tp_new-style call (argument tuple, keyword dict or NULL).
bool bind_tuple_dict(const Signature& sig, PyObject* args, PyObject* kwargs, BoundArguments& bound) noexcept;

// Conversions. Each returns false with the exception pending; callers pass the failure through
// argument_error(), which gives a plain TypeError the "argument 'name': " prefix.
bool to_text(PyObject* value, std::string& out);
bool to_optional_text(PyObject* value, std::optional<std::string>& out);  // NULL or None: absent
bool to_u32(PyObject* value, std::uint32_t& out);
bool to_u64(PyObject* value, std::uint64_t& out);

// The conversions back, for attribute reads: new references. The interpreter failing to make a
// str or an int of a value it once accepted is an internal fault (api_fault).
PyObject* from_text(std::string_view text) noexcept;
PyObject* from_optional_text(const std::optional<std::string>& text) noexcept;  // absent: None
PyObject* from_u32(std::uint32_t value) noexcept;
PyObject* from_u64(std::uint64_t value) noexcept;

// Re-raises the pending exception: an exact TypeError as "argument '<name>': <message>" with its
// cause kept, anything else unchanged. Always returns false.
bool argument_error(const char* name) noexcept;

// Sets TypeError "'<type qualname>' object cannot be converted to '<kind>'".
void wrong_type(PyObject* value, const char* kind) noexcept;

}  // namespace solvarinth::py
