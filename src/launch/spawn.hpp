// The trainer launch: start cargo with the fixed command line, wait for it, judge its status.
#pragma once

#include <sys/types.h>

#include "common/trainer_error.hpp"
#include "launch/command.hpp"

namespace solvarinth::launch {

// A started, not yet reaped child. Only wait_child consumes it; dropping one unwaited leaves
// a zombie, so callers run nothing that can fail between the two calls.
struct Child {
    pid_t pid = -1;
};

// Builds the command line and starts cargo. On success the child is in *child and nothing is
// returned; on failure no child is left behind.
Outcome start_trainer(const TrainerLaunchRequest& request, Child* child);

// How the wait for a child ended: error 0 and the status word, or the errno of the failed wait.
// Plain data, so that it can be made and carried where no lock is held and nothing may allocate.
struct ChildEnd {
    int error = 0;
    int status = 0;
};

// Blocks until the child has ended, retrying through signals. Allocates nothing and touches only
// its argument and the calling thread's errno, so callers may run it outside any lock of theirs
// and from several threads at once.
ChildEnd wait_child(Child child) noexcept;

// Success for a normal exit with code 0; otherwise the failure the caller reports.
Outcome judge_end(ChildEnd end);

}  // namespace solvarinth::launch
