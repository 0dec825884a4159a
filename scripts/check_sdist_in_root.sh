#!/usr/bin/env bash
# Shows that the sdist builds with a compiler and nothing else: builds it on the host, installs it
# with its test extras into a fresh venv in the Debian root sid-amd64 (g++, but neither libyaml
# nor RapidJSON), and runs the whole suite there against the installed module.
# Usage: check_sdist_in_root.sh [PYTEST_ARGUMENT...]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/roots.sh"

name=sid-amd64
ensure_root "$name" amd64 sid "${SID_AMD64_PACKAGES[@]}"
root=$(root_dir "$name")
for found in /usr/include/yaml.h /usr/include/rapidjson; do
    [ ! -e "$root$found" ] || die "the root $name has $found, so a build there no longer shows what a compiler alone can do"
done

load_pythons
# A venv of its own: the test command runs this beside steps that install into the others.
build_python=$(make_venv "${pythons[0]}" sdist-build) || exit 1
"$build_python" -m pip install -q build >&2 || die "could not install build"
work=$(mktemp -d "$root/tmp/sdist-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
inside=${work#"$root"}
"$build_python" -m build --sdist --outdir "$work" "$ROOT" >&2 || die "could not build the sdist"
sdist=$(basename "$work"/*.tar.gz)

# From /, away from the checkout, so that only the installed module can be imported.
cd /
in_root "$name" "${ROOT_PYTHONS[0]}" -m venv "$inside/venv" || die "could not make a venv in the root $name"
say "building $sdist in the root $name"
in_root "$name" "$inside/venv/bin/python" -m pip install -q "$inside/${sdist}[test]" \
    || die "$sdist did not build in the root $name, which has a compiler but no libyaml or RapidJSON"
in_root "$name" "$inside/venv/bin/python" -m pytest -q -p no:cacheprovider "$@" "$ROOT/tests"
