// TrainerConfig: a plain record of the five training values with readable and writable
// attributes and a repr. Nothing in the module consumes it.
#include "module/trainer_config.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "common/decimal.hpp"
#include "common/fault.hpp"
#include "common/quote.hpp"
#include "launch/command.hpp"
#include "module/binding.hpp"
#include "module/fixed_texts.hpp"
#include "module/trainer_arguments.hpp"

namespace solvarinth::py {
namespace {

// The instance layout. The memory comes zeroed from the type's allocator, so the C++ members
// are constructed in place once the values are converted and destroyed by hand in dealloc.
struct TrainerConfigObject {
    PyObject_HEAD
    launch::TrainerLaunchRequest values;
    // Access in progress: 0 idle, n > 0 readers, kWriter one writer. Guarded by the interpreter
    // lock, so a plain counter is enough. Kept as the last member, so that its place follows
    // from the class's __basicsize__ and a test can stand in for an access in progress.
    std::intptr_t borrow;
};

constexpr std::intptr_t kIdle = 0;
constexpr std::intptr_t kWriter = -1;

TrainerConfigObject* as_config(PyObject* self) noexcept { return reinterpret_cast<TrainerConfigObject*>(self); }

constexpr Signature kSignature{"TrainerConfig.__new__()", kTrainerParameters, 4};

// Shared access for a read or repr; ok() is false with RuntimeError set while a writer holds it.
class ReadAccess {
public:
    explicit ReadAccess(TrainerConfigObject* obj) noexcept : obj_(obj) {
        if (obj_->borrow == kWriter) {
            PyErr_SetString(PyExc_RuntimeError, kAlreadyMutablyBorrowed);
            obj_ = nullptr;
        } else {
            ++obj_->borrow;
        }
    }
    ReadAccess(const ReadAccess&) = delete;
    ReadAccess& operator=(const ReadAccess&) = delete;
    ~ReadAccess() {
        if (obj_ != nullptr) --obj_->borrow;
    }
    bool ok() const noexcept { return obj_ != nullptr; }

private:
    TrainerConfigObject* obj_;
};

// Exclusive access for an assignment; admitted only from idle.
class WriteAccess {
public:
    explicit WriteAccess(TrainerConfigObject* obj) noexcept : obj_(obj) {
        if (obj_->borrow != kIdle) {
            PyErr_SetString(PyExc_RuntimeError, kAlreadyBorrowed);
            obj_ = nullptr;
        } else {
            obj_->borrow = kWriter;
        }
    }
    WriteAccess(const WriteAccess&) = delete;
    WriteAccess& operator=(const WriteAccess&) = delete;
    ~WriteAccess() {
        if (obj_ != nullptr) obj_->borrow = kIdle;
    }
    bool ok() const noexcept { return obj_ != nullptr; }

private:
    TrainerConfigObject* obj_;
};

PyObject* tc_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    return no_unwind([&]() -> PyObject* {
        BoundArguments bound;
        if (!bind_tuple_dict(kSignature, args, kwargs, bound)) return nullptr;
        launch::TrainerLaunchRequest values;
        if (!to_trainer_values(bound, values)) return nullptr;
        PyObject* self = type->tp_alloc(type, 0);
        if (self == nullptr) {
            ensure_error();
            return nullptr;  // the converted values go with `values`
        }
        TrainerConfigObject* obj = as_config(self);
        new (&obj->values) launch::TrainerLaunchRequest(std::move(values));
        obj->borrow = kIdle;
        return self;
    });
}

void tc_dealloc(PyObject* self) noexcept {
    PyTypeObject* type = Py_TYPE(self);
    as_config(self)->values.~TrainerLaunchRequest();
    type->tp_free(self);
    Py_DECREF(type);  // instances of a heap type hold a reference to it
}

PyObject* tc_repr(PyObject* self) noexcept {
    return no_unwind([&]() -> PyObject* {
        TrainerConfigObject* obj = as_config(self);
        ReadAccess access(obj);
        if (!access.ok()) return nullptr;
        const launch::TrainerLaunchRequest& v = obj->values;
        // The two paths go in raw; only the checkpoint is quoted and escaped.
        std::string text = "TrainerConfig(config_path='";
        text += v.config_path;
        text += "', output_dir='";
        text += v.output_dir;
        text += "', steps=";
        text += decimal_text(v.steps);
        text += ", seed=";
        text += decimal_text(v.seed);
        text += ", base_ckpt=";
        if (v.base_ckpt) {
            text += kSomeOpen;
            text += quoted(*v.base_ckpt);
            text += ')';
        } else {
            text += "None";
        }
        text += ')';
        return from_text(text);
    });
}

// Each attribute's closure is its entry of kTrainerValues.
const TrainerValue& value_of(void* closure) noexcept { return *static_cast<const TrainerValue*>(closure); }

PyObject* tc_get(PyObject* self, void* closure) noexcept {
    return no_unwind([&]() -> PyObject* {
        TrainerConfigObject* obj = as_config(self);
        ReadAccess access(obj);
        if (!access.ok()) return nullptr;
        return value_of(closure).to_python(obj->values);
    });
}

// Converts the new value as the constructor would, and only then takes the write access: an
// __index__ method may run Python code, which must be able to read this instance meanwhile.
int tc_set(PyObject* self, PyObject* value, void* closure) noexcept {
    return no_unwind([&]() -> int {
        if (value == nullptr) {
            PyErr_SetString(PyExc_AttributeError, kCannotDelete);
            return -1;
        }
        const TrainerValue& field = value_of(closure);
        TrainerLaunchRequest converted;
        if (!field.convert(value, converted)) {
            argument_error(field.name);
            return -1;
        }
        TrainerConfigObject* obj = as_config(self);
        WriteAccess access(obj);
        if (!access.ok()) return -1;  // the converted value is dropped, the field keeps its own
        field.move(converted, obj->values);
        return 0;
    });
}

// One attribute per trainer value, and the zeroed entry that ends the list.
using GetSetTable = std::array<PyGetSetDef, kTrainerValues.size() + 1>;

constexpr GetSetTable make_getset() noexcept {
    GetSetTable table{};
    for (std::size_t i = 0; i < kTrainerValues.size(); ++i) {
        // An empty doc string rather than none, so each descriptor's __doc__ is "".
        table[i] = {kTrainerValues[i].name, tc_get, tc_set, "", const_cast<TrainerValue*>(&kTrainerValues[i])};
    }
    return table;
}

constinit GetSetTable g_getset = make_getset();

// The interpreter takes the text up to "\n--\n\n" as __text_signature__ when the doc begins with
// the class name followed by "(", and leaves the rest as __doc__; inspect.signature reads the former.
constexpr const char kDoc[] =
    "TrainerConfig"
    "(config_path, output_dir, steps, seed, base_ckpt=None)"
    "\n--\n\n"
    "Python-facing configuration struct for training.\n"
    "Serializable to/from JSON for easy YAML \xE2\x86\x92"  // U+2192 RIGHTWARDS ARROW
    " JSON conversion in Python.";

PyType_Slot kSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(tc_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(tc_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(tc_repr)},
    {Py_tp_getset, g_getset.data()},
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {0, nullptr},
};

// No Py_TPFLAGS_BASETYPE: the class cannot be subclassed. No GC flag: instances hold no
// references to Python objects. No dict or weakref slot.
PyType_Spec kSpec = {kClassName, static_cast<int>(sizeof(TrainerConfigObject)), 0,
                     Py_TPFLAGS_DEFAULT, kSlots};

PyObject* g_type = nullptr;  // created once, never released

}  // namespace

PyObject* trainer_config_type() noexcept {
    if (g_type != nullptr) return g_type;
    PyObject* type = PyType_FromSpec(&kSpec);
    if (type == nullptr) {
        Ref cause = take_error();
        PyErr_SetString(PyExc_RuntimeError, kClassInitFailed);
        Ref error = take_error();
        PyException_SetCause(error.get(), cause.release());
        PyErr_SetRaisedException(error.release());
        return nullptr;
    }
    g_type = type;
    return g_type;
}

}  // namespace solvarinth::py
