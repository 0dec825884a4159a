// Module definition and initialisation: PyInit_solvarinth_trainer and the module body.
#include "module/pyref.hpp"

#include <atomic>
#include <cstdint>

#include "common/fault.hpp"
#include "common/version.hpp"
#include "module/binding.hpp"
#include "module/fixed_texts.hpp"
#include "module/train.hpp"
#include "module/trainer_config.hpp"

namespace solvarinth::py {
namespace {

constexpr const char kModuleName[] = "solvarinth_trainer";
constexpr const char kModuleDoc[] =
    "Solvarinth Trainer \xE2\x80\x94 Rust-native trainer with FF+BP cadencing and orthogonal gradient "
    "projections.";
constexpr int kApiVersion = 1013;

PyModuleDef g_definition = {
    PyModuleDef_HEAD_INIT, kModuleName, nullptr, 0,  // no m_doc: the module body sets __doc__
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The module's one function. Function objects point at their method record for as long as they
// live, so the table is static and never released. It is not the definition's m_methods, which
// would add the function at creation, outside __all__: the module body adds it first, by hand.
PyMethodDef g_methods[] = {
    {"train_from_config", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(train_from_config)),
     METH_FASTCALL | METH_KEYWORDS, kTrainFromConfigDoc},
    {nullptr, nullptr, 0, nullptr},
};

// The first interpreter to call the init entry owns the module for the life of the process.
std::atomic<std::int64_t> g_owner{-1};
PyObject* g_module = nullptr;  // the one module object, once the body has succeeded

// Interned attribute names, made once and never released.
PyObject* interned(PyObject*& slot, const char* text) noexcept {
    if (slot == nullptr) {
        PyObject* name = checked(PyUnicode_FromString(text));
        PyUnicode_InternInPlace(&name);
        slot = name;
    }
    return slot;
}
PyObject* g_all_name = nullptr;
PyObject* g_name_name = nullptr;

// Appends the name to __all__ (creating it when missing), then sets the attribute.
bool add_public(PyObject* module, PyObject* name, PyObject* value) noexcept {
    PyObject* all_name = interned(g_all_name, "__all__");
    Ref all = Ref::steal(PyObject_GetAttr(module, all_name));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all = Ref::steal(checked(PyList_New(0)));
        if (PyObject_SetAttr(module, all_name, all.get()) < 0) return false;
    } else if (!PyList_Check(all.get())) {
        wrong_type(all.get(), kListKind);
        return false;
    }
    if (PyList_Append(all.get(), name) < 0) {
        if (PyErr_Occurred()) PyErr_Print();
        fatal("could not append __name__ to __all__");
    }
    return PyObject_SetAttr(module, name, value) == 0;
}

bool add_public_str(PyObject* module, const char* name, const char* text) noexcept {
    Ref key = Ref::steal(checked(PyUnicode_FromString(name)));
    Ref value = Ref::steal(checked(PyUnicode_FromString(text)));
    return add_public(module, key.get(), value.get());
}

bool add_function(PyObject* module) noexcept {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) return false;
    Ref function = Ref::steal(PyCMethod_New(&g_methods[0], module, module_name.get(), nullptr));
    if (!function) return false;
    Ref name = Ref::steal(PyObject_GetAttr(function.get(), interned(g_name_name, "__name__")));
    if (!name) return false;
    if (!PyUnicode_Check(name.get())) {
        wrong_type(name.get(), kStrKind);
        return false;
    }
    return add_public(module, name.get(), function.get());
}

bool add_class(PyObject* module) noexcept {
    PyObject* type = trainer_config_type();
    if (type == nullptr) return false;
    Ref name = Ref::steal(checked(PyUnicode_FromString("TrainerConfig")));
    return add_public(module, name.get(), type);
}

bool module_body(PyObject* module) noexcept {
    return add_function(module) && add_class(module) && add_public_str(module, "__version__", kVersion) &&
           add_public_str(module, "__doc__", kModuleDoc);
}

PyObject* init() noexcept {
    const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) {
        ensure_error();
        return nullptr;
    }
    std::int64_t expected = -1;
    if (!g_owner.compare_exchange_strong(expected, id, std::memory_order_acq_rel) && expected != id) {
        PyErr_SetString(PyExc_ImportError, kSubinterpreterRefused);
        return nullptr;
    }
    if (g_module != nullptr) return Py_NewRef(g_module);
    Ref module = Ref::steal(PyModule_Create2(&g_definition, kApiVersion));
    if (!module) return nullptr;
    if (!module_body(module.get())) return nullptr;
    if (g_module == nullptr) g_module = module.release();
    return Py_NewRef(g_module);
}

}  // namespace
}  // namespace solvarinth::py

PyMODINIT_FUNC PyInit_solvarinth_trainer() {
    return solvarinth::no_unwind([] { return solvarinth::py::init(); });
}
