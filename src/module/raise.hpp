// The Python boundary for core failures: one TrainerError becomes one exception.
#pragma once

#include "module/pyref.hpp"

#include "common/trainer_error.hpp"

namespace solvarinth::py {

// Raises the error with its message as the single argument; always returns NULL. An interrupted
// call raises nothing more: its exception is the signal handler's, set by run_signal_handlers.
PyObject* raise(const TrainerError& error) noexcept;

// The interpreter's rule for a system call interrupted by a signal: run the Python signal
// handlers, and end the call when one of them raised (Ctrl-C: KeyboardInterrupt), its exception
// then set. A SignalCheck for the core; the interpreter lock must be held.
bool run_signal_handlers() noexcept;

}  // namespace solvarinth::py
