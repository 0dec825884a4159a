#!/usr/bin/env bash
# Refreshes third_party/ from Debian's source packages of libyaml and RapidJSON, at the pinned
# versions: the files the build uses, byte for byte as apt-get source unpacks them (Debian's
# patches applied). Run it only to update; afterwards `git diff --stat third_party` shows the
# change, and nothing at all when the pinned versions are unpacked again.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

LIBYAML_PACKAGE=libyaml=0.2.5-1
RAPIDJSON_PACKAGE=rapidjson=1.1.0+dfsg2-7.1

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# apt_source PACKAGE=VERSION...: unpacks the source packages into $WORK/src through a source
# list and apt state of our own, so the machine's apt configuration is neither needed to carry
# deb-src lines nor changed. The mirrors are the ones the machine uses for binary packages.
apt_source() {
    local apt="$WORK/apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$WORK/src"
    local sources=(/etc/apt/sources.list.d/*.sources)
    [ -e "${sources[0]}" ] || sources=()
    { [ -f /etc/apt/sources.list ] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list; } >"$apt/sources.list" || true
    for file in "${sources[@]}"; do
        sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt/parts/$(basename "$file")"
    done
    local opts=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o "Dir::Etc::sourceparts=$apt/parts"
                -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
    # A third-party repository without sources must not stop us; apt-get source says if Debian's fail.
    apt-get "${opts[@]}" update -qq || say "warning: apt-get update of the source lists reported errors"
    (cd "$WORK/src" && apt-get "${opts[@]}" source -qq "$@") || die "apt-get source $* failed"
}

# unpacked NAME: the one tree apt-get source unpacked for that package.
unpacked() {
    local trees=("$WORK/src/$1"-*/)
    { [ -d "${trees[0]}" ] && [ ${#trees[@]} -eq 1 ]; } || die "expected one unpacked $1 tree, got: ${trees[*]}"
    echo "${trees[0]%/}"
}

ensure_system_packages dpkg-dev
apt_source "$LIBYAML_PACKAGE" "$RAPIDJSON_PACKAGE"

yaml=$(unpacked libyaml)
dest="$ROOT/third_party/libyaml"
rm -rf "$dest/src" "$dest/include"
mkdir -p "$dest/src" "$dest/include"
cp "$yaml"/src/*.c "$yaml/src/yaml_private.h" "$dest/src/"
cp "$yaml/include/yaml.h" "$dest/include/"
cp "$yaml/License" "$dest/"

rapidjson=$(unpacked rapidjson)
dest="$ROOT/third_party/rapidjson"
rm -rf "$dest/include"
mkdir -p "$dest/include"
cp -r "$rapidjson/include/rapidjson" "$dest/include/"
cp "$rapidjson/license.txt" "$dest/"
say "third_party/ refreshed from $LIBYAML_PACKAGE and $RAPIDJSON_PACKAGE"
