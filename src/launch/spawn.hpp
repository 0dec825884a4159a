// launch_trainer: start cargo with the fixed command line, wait for it and judge its status.
#pragma once

#include "common/trainer_error.hpp"
#include "launch/command.hpp"

namespace solvarinth::launch {

// Blocks until the child has ended. Success only for a normal exit with code 0.
Outcome launch_trainer(const TrainerLaunchRequest& request);

}  // namespace solvarinth::launch
