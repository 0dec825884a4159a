# in_root NAME CMD...: runs CMD inside the Debian root NAME under $SOLVARINTH_ROOTS (default
# ~/.cache/solvarinth-trainer/roots), a stand-in until scripts/roots.sh provides its own. Sourced
# after lib.sh, not run.
#
# Each call gets a private mount namespace, so every mount it makes (/proc, /dev, the host's
# network, CA and pip settings, the checkout at the same path) disappears with it, even when the
# command is killed: nothing is left mounted on the machine. IN_ROOT_BINDS (colon-separated host
# paths) are bound read-only at the same path as well, e.g. another root a cross-build runs an interpreter
# from. The working directory is kept when it lies in the checkout.

SOLVARINTH_ROOTS=${SOLVARINTH_ROOTS:-$HOME/.cache/solvarinth-trainer/roots}

root_dir() { echo "$SOLVARINTH_ROOTS/$1"; }

in_root() {
    local dir
    dir=$(root_dir "$1")
    shift
    [ -x "$dir/bin/sh" ] || die "no Debian root at $dir"
    command -v unshare >/dev/null || die "in_root needs unshare (util-linux)"
    unshare --mount --propagation private -- bash -euc '
        dir=$1 checkout=$2 cwd=$3 binds=$4
        shift 4
        bind() {   # bind HOST_PATH: the same path inside the root, read-only unless it is a tree we write
            local src=$1 dst="$dir$1"
            [ -e "$src" ] || return 0
            if [ -d "$src" ]; then mkdir -p "$dst"; else mkdir -p "$(dirname "$dst")"; [ -e "$dst" ] || : >"$dst"; fi
            mount --bind "$src" "$dst"
            [ "${2:-}" = rw ] || mount -o remount,bind,ro "$dst"
        }
        mount -t proc proc "$dir/proc"
        mount --rbind /dev "$dir/dev"
        for file in /etc/resolv.conf /etc/ssl/certs/ca-certificates.crt /etc/pip.conf \
                    /root/.config/pip/pip.conf /etc/xdg/pip /opt/wheels /opt/pypi /opt/pypi-more; do
            bind "$file"
        done
        bind "$checkout" rw
        IFS=: read -r -a extra <<<"$binds"
        for path in "${extra[@]}"; do [ -n "$path" ] && bind "$path"; done
        case "$cwd" in "$checkout"|"$checkout"/*) ;; *) cwd=/ ;; esac
        exec chroot "$dir" /usr/bin/env -u PYENV_ROOT -u PYENV_VERSION -u VIRTUAL_ENV -u PYTHONPATH \
            -u PYTHONHOME HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$cwd" "$@"
    ' in_root "$dir" "$ROOT" "$PWD" "${IN_ROOT_BINDS:-}" "$@"
}
