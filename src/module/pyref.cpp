// Pending-error helpers and the interpreter-fault abort path.
#include "module/pyref.hpp"

#include "common/fault.hpp"
#include "module/fixed_texts.hpp"

namespace solvarinth::py {

void ensure_error() noexcept {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, kNoErrorSet);
}

Ref take_error() noexcept {
    ensure_error();
    return Ref::steal(PyErr_GetRaisedException());
}

void api_fault() noexcept {
    if (PyErr_Occurred()) PyErr_Print();
    fatal("Python API call failed");
}

}  // namespace solvarinth::py
