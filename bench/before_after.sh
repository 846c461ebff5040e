#!/usr/bin/env bash
# Two builds of the program side by side, measured in turns in the same run so that the machine's
# load falls on both alike: the start-up to the window's first frame on the offscreen platform and
# under Xvfb, and the press to results on the 64 KiB demo pages (styled, static, script file,
# script array), warm and cold. Prints one table. Takes about six minutes.
#
#   bench/before_after.sh OLD_BUILD NEW_BUILD [ROUNDS]
#
# Each build is a build directory configured with -DQUORVANE_BUILD_BENCHMARKS=ON and its
# quorvane-bench, quorvane-bench-probe and quorvane-bench-data built; NEW_BUILD's demo router
# (quorvane-router-sim) serves the cold presses of both. ROUNDS (default 5) alternations of the
# click rows; 40 start-ups of each build on each platform.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [[ $# -lt 2 || $# -gt 3 ]]; then
    echo "usage: bench/before_after.sh OLD_BUILD NEW_BUILD [ROUNDS]" >&2
    exit 2
fi
old="$(cd "$1" && pwd)"
new="$(cd "$2" && pwd)"
rounds="${3:-5}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
helper="$here/before_after.py"
say() { echo "== $*" >&2; }

say "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
    "$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo); load $(cut -d' ' -f1-3 /proc/loadavg)"
say "start-up, offscreen"
QT_QPA_PLATFORM=offscreen python3 "$helper" start-up "$work/start-offscreen.json" 40 "$old" "$new"
if command -v xvfb-run >/dev/null; then
    say "start-up, Xvfb"
    # One X server for all the runs, so that its own start is in none of them.
    env -u QT_QPA_PLATFORM xvfb-run -a python3 "$helper" start-up "$work/start-xvfb.json" 40 \
        "$old" "$new"
else
    say "no xvfb-run: the start-up under Xvfb is left out"
fi
say "press to results, $rounds rounds"
QT_QPA_PLATFORM=offscreen python3 "$helper" clicks "$work/clicks.json" "$rounds" \
    "$new/tools/router-sim/quorvane-router-sim" "$old" "$new"

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
    "$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory."
echo
python3 "$helper" table "$old" "$new" "$work"/start-*.json "$work/clicks.json"
