// Argument binding and value conversion shared by every callable of the module.
#include "module/binding.hpp"

#include <cstring>
#include <string_view>

namespace solvarinth::py {
namespace {

void too_many_positional(const Signature& sig, Py_ssize_t given) noexcept {
    const std::size_t total = sig.names.size();
    const char* verb = given == 1 ? "was" : "were";
    if (sig.required == total) {
        PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given", sig.full_name,
                     total, given, verb);
    } else {
        PyErr_Format(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given",
                     sig.full_name, sig.required, total, given, verb);
    }
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string quoted_name_list(const Signature& sig, const BoundArguments& bound, std::size_t count) {
    std::string list;
    std::size_t listed = 0;
    for (std::size_t i = 0; i < sig.required; ++i) {
        if (bound[i] != nullptr) continue;
        if (listed > 0) {
            if (count > 2) list += ',';
            list += listed + 1 == count ? " and " : " ";
        }
        list += '\'';
        list += sig.names[i];
        list += '\'';
        ++listed;
    }
    return list;
}

bool check_required(const Signature& sig, const BoundArguments& bound) {
    std::size_t missing = 0;
    for (std::size_t i = 0; i < sig.required; ++i) missing += bound[i] == nullptr;
    if (missing == 0) return true;
    const std::string names = quoted_name_list(sig, bound, missing);
    PyErr_Format(PyExc_TypeError, "%s missing %zu required positional argument%s: %s", sig.full_name, missing,
                 missing == 1 ? "" : "s", names.c_str());
    return false;
}

bool bind_positional(const Signature& sig, PyObject* const* values, Py_ssize_t count, BoundArguments& bound) {
    if (static_cast<std::size_t>(count) > sig.names.size()) {
        too_many_positional(sig, count);
        return false;
    }
    for (Py_ssize_t i = 0; i < count; ++i) bound[static_cast<std::size_t>(i)] = values[i];
    return true;
}

bool bind_keyword(const Signature& sig, PyObject* name, PyObject* value, BoundArguments& bound) {
    Py_ssize_t length = 0;
    const char* utf8 = PyUnicode_Check(name) ? PyUnicode_AsUTF8AndSize(name, &length) : nullptr;
    if (utf8 != nullptr) {
        const std::string_view key(utf8, static_cast<std::size_t>(length));
        for (std::size_t i = 0; i < sig.names.size(); ++i) {
            if (key != sig.names[i]) continue;
            if (bound[i] != nullptr) {
                PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", sig.full_name,
                             sig.names[i]);
                return false;
            }
            bound[i] = value;
            return true;
        }
    } else {
        PyErr_Clear();  // a name that does not encode matches nothing
    }
    PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%S'", sig.full_name, name);
    return false;
}

}  // namespace

bool bind_fastcall(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                   BoundArguments& bound) noexcept {
    bound.fill(nullptr);
    if (!bind_positional(sig, args, nargs, bound)) return false;
    const Py_ssize_t nkw = kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t i = 0; i < nkw; ++i) {
        if (!bind_keyword(sig, PyTuple_GET_ITEM(kwnames, i), args[nargs + i], bound)) return false;
    }
    return check_required(sig, bound);
}

bool bind_tuple_dict(const Signature& sig, PyObject* args, PyObject* kwargs, BoundArguments& bound) noexcept {
    bound.fill(nullptr);
    if (!bind_positional(sig, &PyTuple_GET_ITEM(args, 0), PyTuple_GET_SIZE(args), bound)) return false;
    if (kwargs != nullptr) {
        Py_ssize_t pos = 0;
        PyObject *name, *value;
        while (PyDict_Next(kwargs, &pos, &name, &value)) {
            if (!bind_keyword(sig, name, value, bound)) return false;
        }
    }
    return check_required(sig, bound);
}

void wrong_type(PyObject* value, const char* kind) noexcept {
    Ref qualname = Ref::steal(PyType_GetQualName(Py_TYPE(value)));
    if (qualname) {
        PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to '%s'", qualname.get(), kind);
    } else {
        PyErr_Clear();
        PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to '%s'", kUnknownTypeName, kind);
    }
}

bool to_text(PyObject* value, std::string& out) {
    if (!PyUnicode_Check(value)) {
        wrong_type(value, kStrKind);
        return false;
    }
    Py_ssize_t length = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(value, &length);
    if (utf8 == nullptr) return false;  // lone surrogates: the interpreter's UnicodeEncodeError
    out.assign(utf8, static_cast<std::size_t>(length));
    return true;
}

bool to_optional_text(PyObject* value, std::optional<std::string>& out) {
    if (value == nullptr || value == Py_None) {
        out.reset();
        return true;
    }
    std::string text;
    if (!to_text(value, text)) return false;
    out = std::move(text);
    return true;
}

bool to_u32(PyObject* value, std::uint32_t& out) {
    const long wide = PyLong_AsLong(value);
    if (wide == -1 && PyErr_Occurred()) return false;
    if (wide < 0 || wide > 0xFFFFFFFFL) {
        PyErr_SetString(PyExc_OverflowError, kOutOfRange);
        return false;
    }
    out = static_cast<std::uint32_t>(wide);
    return true;
}

bool to_u64(PyObject* value, std::uint64_t& out) {
    Ref index = PyLong_Check(value) ? Ref::borrow(value) : Ref::steal(PyNumber_Index(value));
    if (!index) return false;
    const unsigned long long wide = PyLong_AsUnsignedLongLong(index.get());
    if (wide == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    out = wide;
    return true;
}

PyObject* from_text(std::string_view text) noexcept {
    return checked(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

PyObject* from_optional_text(const std::optional<std::string>& text) noexcept {
    return text ? from_text(*text) : Py_NewRef(Py_None);
}

PyObject* from_u32(std::uint32_t value) noexcept { return checked(PyLong_FromUnsignedLong(value)); }

PyObject* from_u64(std::uint64_t value) noexcept { return checked(PyLong_FromUnsignedLongLong(value)); }

bool argument_error(const char* name) noexcept {
    Ref error = take_error();
    if (!Py_IS_TYPE(error.get(), reinterpret_cast<PyTypeObject*>(PyExc_TypeError))) {
        PyErr_SetRaisedException(error.release());
        return false;
    }
    Ref message = Ref::steal(PyUnicode_FromFormat("argument '%s': %S", name, error.get()));
    if (!message) return false;  // str() of the error raised: that error is the result
    Ref wrapped = Ref::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
    if (!wrapped) return false;
    PyException_SetCause(wrapped.get(), PyException_GetCause(error.get()));
    PyErr_SetRaisedException(wrapped.release());
    return false;
}

}  // namespace solvarinth::py
