// TrainerConfig: the configuration record class offered to Python code.
#pragma once

#include "module/pyref.hpp"

namespace solvarinth::py {

// The class object, created on the first call and cached for the life of the process.
// Borrowed reference; NULL with RuntimeError("An error occurred while initializing class
// TrainerConfig", cause = the interpreter's error) when it cannot be created.
PyObject* trainer_config_type() noexcept;

}  // namespace solvarinth::py
