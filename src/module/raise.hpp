// The Python boundary for core failures: one TrainerError becomes one exception.
#pragma once

#include "module/pyref.hpp"

#include "common/trainer_error.hpp"

namespace solvarinth::py {

// Raises the error with its message as the single argument; always returns NULL.
PyObject* raise(const TrainerError& error) noexcept;

}  // namespace solvarinth::py
