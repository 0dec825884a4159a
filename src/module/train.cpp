// train_from_config: bind, validate the config file, run the trainer, return None or raise.
// The interpreter lock stays held throughout, the wait for the trainer included.
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
}

PyObject* train_from_config(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    return no_unwind([&]() -> PyObject* {
        BoundArguments bound;
        if (!bind_fastcall(kSignature, args, nargs, kwnames, bound)) return nullptr;
        launch::TrainerLaunchRequest request;
        if (!to_trainer_values(bound, request)) return nullptr;
        if (Outcome invalid = config::validate_config(request.config_path)) return raise(*invalid);
        if (Outcome failed = launch::launch_trainer(request)) return raise(*failed);
        Py_RETURN_NONE;
    });
}

}  // namespace solvarinth::py
