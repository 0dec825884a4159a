// train_from_config: bind, validate the config file, run the trainer, return None or raise.
#pragma once

#include "module/pyref.hpp"

namespace solvarinth::py {

extern const char kTrainFromConfigDoc[];

// Not noexcept: see the definition.
PyObject* train_from_config(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace solvarinth::py
