// launch_trainer: start cargo with the fixed command line, wait for it and judge its status.
#pragma once

#include <sys/types.h>

#include "common/trainer_error.hpp"
#include "launch/command.hpp"

namespace solvarinth::launch {

// A started, not yet reaped child. Only wait_trainer consumes it; dropping one unwaited leaves
// a zombie, so callers run nothing that can fail between the two calls.
struct Child {
    pid_t pid = -1;
};

// Builds the command line and starts cargo. On success the child is in *child and nothing is
// returned; on failure no child is left behind.
Outcome start_trainer(const TrainerLaunchRequest& request, Child* child);

// Blocks until the child has ended, retrying through signals, and judges its status. Touches
// nothing but its argument and the calling thread's errno, so callers may run it outside any
// lock of theirs and from several threads at once.
Outcome wait_trainer(Child child);

// start_trainer then wait_trainer, for callers with no lock to let go of around the wait.
Outcome launch_trainer(const TrainerLaunchRequest& request);

}  // namespace solvarinth::launch
