#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole test suite; then
# compares the static page path with the engine on random pages for a minute, fuzzes each reader
# of router text for a minute and runs the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer. QUORVANE_QUICK=1 stops after the first suite.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quorvane_install_deps "${QUORVANE_BUILD_PACKAGES[@]}"

build=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_WERROR=ON >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2

[ "${QUORVANE_QUICK:-0}" = 1 ] && exit 0
# A minute of random static pages, each read by the static path and by the engine, from a new seed
# every run; the seed is printed so that a difference found can be seen again.
seed=$((RANDOM * 32768 + RANDOM))
echo "Static path against the engine: QUORVANE_DIFF_SEED=$seed"
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 QUORVANE_DIFF_SEED=$seed \
    QUORVANE_DIFF_SECONDS="${QUORVANE_DIFF_SECONDS:-60}" \
    "$build/tests/retrieval/engine/tst_static_matches_engine"
scripts/fuzz.sh "${QUORVANE_FUZZ_SECONDS:-60}"
scripts/sanitize.sh
