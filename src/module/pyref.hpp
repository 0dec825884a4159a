// Owned references (Ref) and the pending-error helpers over the CPython C API.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace solvarinth::py {

// Owns one strong reference (or nothing). Made only by an explicit steal or borrow.
class Ref {
public:
    Ref() noexcept = default;
    static Ref steal(PyObject* p) noexcept { return Ref(p); }
    static Ref borrow(PyObject* p) noexcept {
        Py_XINCREF(p);
        return Ref(p);
    }
    Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        Ref(std::move(other)).swap(*this);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(p_); }

    PyObject* get() const noexcept { return p_; }
    PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void swap(Ref& other) noexcept { std::swap(p_, other.p_); }

private:
    explicit Ref(PyObject* p) noexcept : p_(p) {}
    PyObject* p_ = nullptr;
};

// Takes the pending exception; an API call that failed without setting one becomes the
// SystemError the rest of the module reports in that case.
Ref take_error() noexcept;

// Makes sure an exception is pending after an API call reported failure.
void ensure_error() noexcept;

// The interpreter failed where it must not (a fixed string, a result object): print the
// pending error and abort.
[[noreturn]] void api_fault() noexcept;

// Returns a new reference or aborts through api_fault.
inline PyObject* checked(PyObject* p) noexcept {
    if (p == nullptr) api_fault();
    return p;
}

}  // namespace solvarinth::py
