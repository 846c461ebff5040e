#!/usr/bin/env bash
# Builds Quorvane and runs its test suite (QUORVANE_QUICK=1 ./test.sh) on Debian 13, inside a root
# this script makes with mmdebstrap from the machine's own Debian mirror. Run as root.
#
# The root, with every package scripts/deps.sh names, is kept as a tarball in
# $QUORVANE_ROOT_CACHE (/var/cache/quorvane), keyed by the release, the mirror and the package list,
# so later runs only unpack it; the compiler's cache is kept beside it. Each run unpacks a fresh
# copy, so nothing a run installs or leaves behind reaches the next.
#
# The root is entered in a private mount namespace with pivot_root, not with chroot: inside a chroot
# the kernel refuses an ordinary user a new user namespace, so the engine's sandbox cannot start
# for the rows that run it as "nobody".
# Usage: scripts/debian13.sh [--make-root | COMMAND...]
#   --make-root  make the cached root and stop
#   COMMAND      run this in the source tree inside the root instead of the suite (e.g. bash)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

[ "$(id -u)" -eq 0 ] || { echo "debian13.sh: run as root (it unpacks a root and mounts)" >&2; exit 1; }
# What makes and unpacks the root is not on a fresh machine.
quorvane_install_deps mmdebstrap zstd

release=trixie
cache=${QUORVANE_ROOT_CACHE:-/var/cache/quorvane}
# The machine's mirror, from its apt sources; Debian's own where none is found.
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)\/\?$/\1/p' /etc/apt/sources.list.d/*.sources \
             2>/dev/null | head -n1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(http[^ ]*\/debian\)\/\? .*/\1/p' \
                                 /etc/apt/sources.list 2>/dev/null | head -n1)
mirror=${mirror:-http://deb.debian.org/debian}
# Besides what the build and the suite need: the compiler's cache, and umount, with which the
# root lets go of the machine's own file system once it has moved into its own.
packages=("${QUORVANE_BUILD_PACKAGES[@]}" ccache mount)
key=$(printf '%s\n' "$release" "$mirror" "${packages[@]}" | sha256sum | cut -c1-16)
tarball=$cache/debian13-$key.tar.zst
ccache_dir=$cache/ccache-debian13
mkdir -p "$cache" "$ccache_dir"

if [ ! -f "$tarball" ]; then
    echo "Making a Debian 13 root from $mirror (kept as $tarball)"
    start=$SECONDS
    rm -f "$cache"/debian13-*.tar.zst  # roots made for another package list, or cut short
    partial=$cache/debian13-$key.partial.tar.zst  # mmdebstrap knows the format by the ending
    # The package lists stay in the root: the package test asks apt what installing ours would do.
    mmdebstrap --variant=apt --quiet --skip=cleanup/apt/lists \
        --include="$(IFS=,; echo "${packages[*]}")" "$release" "$partial" \
        "deb $mirror $release main" "deb $mirror $release-updates main" \
        "deb ${mirror%/debian}/debian-security $release-security main"
    mv "$partial" "$tarball"
    echo "Root made in $((SECONDS - start)) s"
fi
[ "${1:-}" = --make-root ] && exit 0

work=$(mktemp -d /var/tmp/quorvane-debian13.XXXXXX)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir "$root"
start=$SECONDS
tar -C "$root" --zstd --numeric-owner --xattrs --xattrs-include='*' -xf "$tarball"
# The source tree as it stands, changes not yet committed included, build folders left out.
mkdir "$root/src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -C "$root/src" -xf -
else
    tar --exclude='./build*' -cf - . | tar -C "$root/src" -xf -
fi
echo "Root unpacked and sources copied in $((SECONDS - start)) s"
# The build folder stays on this side, in build-debian13, so that a run rebuilds only what changed
# and what it makes (the package, say) is there after it; a root made afresh starts it afresh.
build=$PWD/build-debian13
[ "$(cat "$build/.root" 2>/dev/null)" = "$key" ] || rm -rf "$build"
mkdir -p "$build" "$root/src/build"
echo "$key" > "$build/.root"

# In a mount namespace of its own, so that every mount below goes when the run ends.
read -r -d '' enter <<'EOF' || true
root=$1
ccache_dir=$2
build=$3
shift 3
mount --bind "$root" "$root"  # pivot_root wants the new root to be a mount point
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
mount -t tmpfs -o mode=755 tmpfs "$root/run"
mkdir -p "$root/var/cache/ccache"
mount --bind "$ccache_dir" "$root/var/cache/ccache"
mount --bind "$build" "$root/src/build"
if [ -f /etc/resolv.conf ]; then
    rm -f "$root/etc/resolv.conf" && touch "$root/etc/resolv.conf"
    mount --bind /etc/resolv.conf "$root/etc/resolv.conf"
fi
cd "$root"
mkdir -p .host
pivot_root . .host
umount -l /.host
rmdir /.host
cd /src
exec env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin HOME=/root \
    TERM="${TERM:-dumb}" LANG=C.UTF-8 QUORVANE_QUICK=1 CMAKE_CXX_COMPILER_LAUNCHER=ccache \
    CCACHE_DIR=/var/cache/ccache CCACHE_MAXSIZE=2G CCACHE_BASEDIR=/src "$@"
EOF
[ $# -gt 0 ] || set -- ./test.sh
unshare --mount --propagation private -- /bin/bash -euo pipefail -c "$enter" enter "$root" \
    "$ccache_dir" "$build" "$@"
