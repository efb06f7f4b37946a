#!/usr/bin/env bash
# Runs COMMAND inside the system folder ROOT, in a mount namespace of its own
# (private: nothing mounted here is seen outside, and it all goes with the
# last process): proc, sys and dev, tmpfs on run and tmp, and the test's
# folder E2E_SHARED at its own path, so sockets and files keep one name on
# both sides. No PID namespace: the compositor must see its clients' real
# process ids, as the program on the host reads them. Where namespaces are
# refused, a plain chroot (E2E_SHARED must then lie inside ROOT, reached by
# the same name through the root's link to itself).
# usage: in-root.sh ROOT COMMAND [ARGS...]
root=$1
shift
if [[ ${E2E_SHARED:?} != "$root"/* ]]; then
    exec unshare --mount -- /bin/sh -ec '
        root=$1 shared=$2
        shift 2
        mount -t proc proc "$root/proc"
        mount --rbind /sys "$root/sys"
        mount --rbind /dev "$root/dev"
        mount -t tmpfs tmpfs "$root/run"
        mount -t tmpfs tmpfs "$root/tmp"
        mkdir -p "$root$shared"
        mount --bind "$shared" "$root$shared"
        exec chroot "$root" "$@"' sh "$root" "$E2E_SHARED" "$@"
fi
exec chroot "$root" "$@"
