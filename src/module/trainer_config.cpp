// TrainerConfig: the configuration record class (skeleton: the class object only).
#include "module/trainer_config.hpp"

namespace solvarinth::py {
namespace {

PyObject* g_type = nullptr;  // created once, never released

PyType_Slot kSlots[] = {{0, nullptr}};
PyType_Spec kSpec = {"builtins.TrainerConfig", sizeof(PyObject), 0, Py_TPFLAGS_DEFAULT, kSlots};

}  // namespace

PyObject* trainer_config_type() noexcept {
    if (g_type != nullptr) return g_type;
    PyObject* type = PyType_FromSpec(&kSpec);
    if (type == nullptr) {
        Ref cause = take_error();
        PyErr_SetString(PyExc_RuntimeError, "An error occurred while initializing class TrainerConfig");
        Ref error = take_error();
        PyException_SetCause(error.get(), cause.release());
        PyErr_SetRaisedException(error.release());
        return nullptr;
    }
    g_type = type;
    return g_type;
}

}  // namespace solvarinth::py
