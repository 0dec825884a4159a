#!/usr/bin/env bash
# Sets everything up and runs the main job: a real training run of the example trainer through
# train_from_config, then a second run that resumes from the first run's checkpoint.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

MANIFEST_DIR=/home/runner/work/quillon_yard/quillon_yard  # fixed in the module
EXAMPLE="$ROOT/examples/trainer"

ensure_system_packages
ensure_cargo
load_pythons
python=${pythons[0]}
venv_python=$(venv_with_module "$python")

# The module always builds the project at its fixed manifest path. Put the example there unless
# something already is; never replace an existing project.
if [ -L "$MANIFEST_DIR" ] && [ "$(readlink -f "$MANIFEST_DIR")" = "$(readlink -f "$EXAMPLE")" ]; then
    say "$MANIFEST_DIR already points at the example trainer"
elif [ -L "$MANIFEST_DIR" ] && [ ! -e "$MANIFEST_DIR" ]; then
    # A link left by a checkout that is gone: nothing there to keep, and cargo would fail on it.
    gone=$(readlink "$MANIFEST_DIR")
    ln -sfn "$EXAMPLE" "$MANIFEST_DIR"
    say "relinked $MANIFEST_DIR -> $EXAMPLE (it pointed at $gone, which no longer exists)"
elif [ -e "$MANIFEST_DIR" ] || [ -L "$MANIFEST_DIR" ]; then
    say "$MANIFEST_DIR already exists and is left as it is; the demo runs whatever project is there"
else
    mkdir -p "$(dirname "$MANIFEST_DIR")"
    ln -s "$EXAMPLE" "$MANIFEST_DIR"
    say "linked $MANIFEST_DIR -> $EXAMPLE (remove the link to undo)"
fi

work="${DEMO_DIR:-$ROOT/demo-run}"
say "training in $work"
"$venv_python" "$ROOT/examples/demo.py" "$work"
