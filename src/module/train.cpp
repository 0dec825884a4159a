// train_from_config: bind, validate the config file, run the trainer, return None or raise.
// The interpreter lock is let go only while waiting for the trainer, so the rest of the process
// (a notebook kernel draining the child's output, other threads) keeps running meanwhile.
#include "module/train.hpp"

#include "common/fault.hpp"
#include "config/validate.hpp"
#include "launch/spawn.hpp"
#include "module/binding.hpp"
#include "module/raise.hpp"

namespace solvarinth::py {

const char kTrainFromConfigDoc[] =
    "train_from_config(config_path, output_dir, steps, seed, base_ckpt=None)\n--\n\n"
    "Main Python entry point: train_from_config\n"
    "Loads a config file (JSON or YAML), initializes trainer, runs training loop.";

namespace {
constexpr Signature kSignature{"train_from_config()", kTrainerParameters, 4};
}

PyObject* train_from_config(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    return no_unwind([&]() -> PyObject* {
        BoundArguments bound;
        if (!bind_fastcall(kSignature, args, nargs, kwnames, bound)) return nullptr;
        launch::TrainerLaunchRequest request;
        if (!to_trainer_values(bound, request)) return nullptr;
        if (Outcome invalid = config::validate_config(request.config_path)) return raise(*invalid);
        // The spawn keeps the lock: besides the Python objects, that stops os.environ assignments
        // (putenv) in other threads from changing environ while posix_spawnp copies it.
        launch::Child child;
        if (Outcome failed = launch::start_trainer(request, &child)) return raise(*failed);
        Outcome outcome;
        {
            // A signal meanwhile only sets the interpreter's flag; its Python handler runs once
            // this call has returned, as with the lock held.
            ReleasedLock unlocked;
            outcome = launch::wait_trainer(child);
        }
        if (outcome) return raise(*outcome);
        Py_RETURN_NONE;
    });
}

}  // namespace solvarinth::py
