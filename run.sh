#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo router on loopback and opens the window.
# Options are the demo router's, e.g. ./run.sh --style script-file  (./run.sh --help lists them).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quorvane_install_deps "${QUORVANE_BUILD_PACKAGES[@]}"

build=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvane quorvane-router-sim

password=${QUORVANE_DEMO_PASSWORD:-demo}
sim_out=$(mktemp)
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
    "$build/tools/router-sim/quorvane-router-sim" --help
    exit 0
fi
"$build/tools/router-sim/quorvane-router-sim" --password "$password" "$@" >"$sim_out" &
sim=$!
trap 'kill "$sim" 2>/dev/null; rm -f "$sim_out"' EXIT
# The simulator announces "router-sim listening on HOST PORT" as soon as it serves.
for _ in $(seq 50); do
    read -r _ _ _ host port <"$sim_out" || true
    [ -n "${port:-}" ] && break
    sleep 0.1
done
[ -n "${port:-}" ] || { echo "The demo router did not start." >&2; exit 1; }

echo
echo "Demo router listening on $host port $port."
echo "In Quorvane type:  Password: $password   Router IP: $host   Port: $port"
echo
"$build/src/app/quorvane"
