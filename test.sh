#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole test suite; then
# fuzzes each reader of router text for a minute and runs the suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer. QUORVANE_QUICK=1 stops after the first suite.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quorvane_install_deps "${QUORVANE_BUILD_PACKAGES[@]}"

build=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_WERROR=ON >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2

[ "${QUORVANE_QUICK:-0}" = 1 ] && exit 0
scripts/fuzz.sh "${QUORVANE_FUZZ_SECONDS:-60}"
scripts/sanitize.sh
