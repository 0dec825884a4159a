// The Python boundary for core failures.
#include "module/raise.hpp"

namespace solvarinth::py {
namespace {

PyObject* exception_class(ErrorClass cls) noexcept {
    switch (cls) {
        case ErrorClass::FileNotFound: return PyExc_FileNotFoundError;
        case ErrorClass::IO: return PyExc_OSError;
        case ErrorClass::Value: return PyExc_ValueError;
        case ErrorClass::Runtime: return PyExc_RuntimeError;
        case ErrorClass::Interrupted: break;
    }
    return PyExc_RuntimeError;
}

}  // namespace

PyObject* raise(const TrainerError& error) noexcept {
    // The signal handler's own exception is set already (run_signal_handlers).
    if (error.cls == ErrorClass::Interrupted) return nullptr;
    // Messages are built from UTF-8 inputs; "replace" only guards against a fault of our own.
    Ref message = Ref::steal(checked(PyUnicode_DecodeUTF8(
        error.message.data(), static_cast<Py_ssize_t>(error.message.size()), "replace")));
    PyErr_SetObject(exception_class(error.cls), message.get());
    return nullptr;
}

bool run_signal_handlers() noexcept { return PyErr_CheckSignals() != 0; }

}  // namespace solvarinth::py
