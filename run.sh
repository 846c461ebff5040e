#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo router on loopback and opens the window.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quorvane_install_deps "${QUORVANE_BUILD_PACKAGES[@]}"

build=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvane quorvane-router-sim

password=${QUORVANE_DEMO_PASSWORD:-demo}
fifo=$(mktemp -u)
mkfifo "$fifo"
"$build/tools/router-sim/quorvane-router-sim" --password "$password" >"$fifo" &
sim=$!
trap 'kill "$sim" 2>/dev/null; rm -f "$fifo"' EXIT
exec 3<"$fifo"
read -r _ _ _ host port <&3
cat >&3- /dev/null & # keep draining the simulator's output
echo
echo "Demo router listening on $host port $port."
echo "In Quorvane type:  Password: $password   Router IP: $host   Port: $port"
echo
"$build/src/app/quorvane"
