// train_from_config: bind, validate the config file, run the trainer, return None or raise.
// The interpreter lock is let go only while waiting for the trainer, so the rest of the process
// (a notebook kernel draining the child's output, other threads) keeps running meanwhile.
#include "module/train.hpp"

#include "common/fault.hpp"
#include "config/validate.hpp"
#include "launch/spawn.hpp"
#include "module/binding.hpp"
#include "module/raise.hpp"
#include "module/trainer_arguments.hpp"

namespace solvarinth::py {

const char kTrainFromConfigDoc[] =
    "train_from_config(config_path, output_dir, steps, seed, base_ckpt=None)\n--\n\n"
    "Main Python entry point: train_from_config\n"
    "Loads a config file (JSON or YAML), initializes trainer, runs training loop.";

namespace {
constexpr Signature kSignature{"train_from_config()", kTrainerParameters, 4};

// Binds and converts the arguments, checks the config and starts the trainer, all with the lock
// held. False with a Python exception set when any of it fails (then no child is running).
bool check_and_start(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, launch::Child* child) {
    BoundArguments bound;
    if (!bind_fastcall(kSignature, args, nargs, kwnames, bound)) return false;
    launch::TrainerLaunchRequest request;
    if (!to_trainer_values(bound, request)) return false;
    Outcome failed = config::validate_config(request.config_path, run_signal_handlers);
    // The spawn keeps the lock: besides the Python objects, that stops os.environ assignments
    // (putenv) in other threads from changing environ while posix_spawnp copies it.
    if (!failed) failed = launch::start_trainer(request, child);
    if (!failed) return true;
    raise(*failed);
    return false;
}

// The argument-to-spawn half, with the lock held; no C++ exception leaves it.
[[gnu::noinline]] bool start_checked(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                                     launch::Child* child) noexcept {
    return no_unwind([&] { return check_and_start(args, nargs, kwnames, child); });
}

// None, or the one exception for how the trainer ended; the lock is held again.
[[gnu::noinline]] PyObject* finish(launch::ChildEnd end) noexcept {
    return no_unwind([&]() -> PyObject* {
        if (Outcome failed = launch::judge_end(end)) return raise(*failed);
        Py_RETURN_NONE;
    });
}

}  // namespace

// Hazard: a daemon thread that takes the lock back while the interpreter finalizes is ended
// right there by pthread_exit, whose forced unwind (glibc's unwinder) passes through this frame.
// So this frame must give a C++ runtime nothing to do: it is not noexcept (that would abort the
// process), holds no object with a destructor and inlines no try block (either would hand
// glibc's unwind context to our C++ runtime's personality routine, which in the portable wheel
// is a statically linked libc++abi that cannot read it and crashes). The work with objects
// happens in the two helpers above, before the lock is let go and after it is back.
PyObject* train_from_config(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    launch::Child child;
    if (!start_checked(args, nargs, kwnames, &child)) return nullptr;
    // A signal meanwhile only sets the interpreter's flag; its Python handler runs once this
    // call has returned, as with the lock held.
    PyThreadState* const saved = PyEval_SaveThread();
    const launch::ChildEnd end = launch::wait_child(child);
    PyEval_RestoreThread(saved);
    return finish(end);
}

}  // namespace solvarinth::py
