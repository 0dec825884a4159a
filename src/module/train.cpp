// train_from_config: bind, validate the config file, run the trainer, return None or raise.
// The interpreter lock is let go only while waiting for the trainer, so the rest of the process
// (a notebook kernel draining the child's output, other threads) keeps running meanwhile.
#include "module/train.hpp"

#include "common/fault.hpp"
#include "config/validate.hpp"
#include "launch/spawn.hpp"
#include "module/binding.hpp"
#include "module/trainer_arguments.hpp"
#include "module/raise.hpp"

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
    Outcome failed = config::validate_config(request.config_path);
    // The spawn keeps the lock: besides the Python objects, that stops os.environ assignments
    // (putenv) in other threads from changing environ while posix_spawnp copies it.
    if (!failed) failed = launch::start_trainer(request, child);
    if (!failed) return true;
    raise(*failed);
    return false;
}

}  // namespace

// Deliberately not noexcept, and the lock is taken back outside no_unwind: a daemon thread that
// takes it back while the interpreter finalizes is ended there by pthread_exit, whose forced
// unwind must pass through these frames (a noexcept frame or a catch-all would abort the process).
PyObject* train_from_config(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    launch::Child child;
    if (!no_unwind([&] { return check_and_start(args, nargs, kwnames, &child); })) return nullptr;
    Outcome outcome;
    {
        // A signal meanwhile only sets the interpreter's flag; its Python handler runs once this
        // call has returned, as with the lock held.
        ReleasedLock unlocked;
        outcome = no_unwind([&] { return launch::wait_trainer(child); });
    }
    return no_unwind([&]() -> PyObject* {
        if (outcome) return raise(*outcome);
        Py_RETURN_NONE;
    });
}

}  // namespace solvarinth::py
