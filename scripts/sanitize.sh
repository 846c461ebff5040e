#!/usr/bin/env bash
# Builds the whole project with clang under AddressSanitizer and UndefinedBehaviorSanitizer in a
# build directory of its own and runs the whole test suite there. Any sanitizer report, leaks
# included, fails the test that caused it; scripts/lsan.supp lists the only leaks let through.
# usage: scripts/sanitize.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_ASAN_BUILD_DIR:-$root/build-asan}

source "$root/scripts/deps.sh"
quorvane_install_deps "${QUORVANE_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

# -O1 keeps the tests quick while stack traces still name every frame.
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$flags" -DQUORVANE_WERROR=ON -DQUORVANE_BUILD_TESTS=ON >/dev/null
cmake --build "$build"

# ASan stops at its first report by default; UBSan is built not to recover. Leaks count too.
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
ctest --test-dir "$build" --output-on-failure -j2 -E '^tst_soak$' -LE engine
# QTWEBENGINE_6_4_QUIRK asan-new-delete-mismatch: Qt WebEngine (6.4) frees a WebContentsAdapter through a pointer of another type when a page is
# destroyed, inside libQt6WebEngineCore; ASan cannot suppress that report by library, so the
# programs that run the engine go without that one check. Every other check stays on.
engine=new_delete_type_mismatch=0
# The instrumented helpers start and answer several times slower than in the first suite, and a
# row that waits on the engine's processes has, rarely, run out of its time there: an engine test
# that fails is run once more. A sanitizer's report fails both runs alike.
ASAN_OPTIONS=$ASAN_OPTIONS:$engine ctest --test-dir "$build" --output-on-failure -j2 \
    -E '^tst_soak$' -L engine --repeat until-pass:2
# The soak test watches resident memory, which ASan fills by design: its quarantine holds freed
# blocks (some 270 MB over the 1000 fetches) and every connection's thread leaves a fake stack
# behind. That test runs with both off, every other check still on.
soak=detect_stack_use_after_return=0:quarantine_size_mb=0:thread_local_quarantine_size_kb=0
ASAN_OPTIONS=$ASAN_OPTIONS:$soak:$engine ctest --test-dir "$build" --output-on-failure -R '^tst_soak$'
