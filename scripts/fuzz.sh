#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and fuzzes each one for a bounded time,
# starting from its checked-in seeds and first replaying fuzz/regressions/<target>/.
# usage: scripts/fuzz.sh [SECONDS_PER_TARGET (default 60)] [TARGET...]
# QUORVANE_FUZZ_MAX_LEN bounds the input size (default 64 KiB: enough for any log page, and
# longer inputs mostly slow the search down).
# Exits non-zero when any target crashes, breaks a property, times out or runs out of memory;
# the input that did it is left in $build/artifacts/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(fuzz_page_text fuzz_system_log fuzz_security_log fuzz_timestamps fuzz_copy_lines
        fuzz_http_response fuzz_engine_frames)
build=${QUORVANE_FUZZ_BUILD_DIR:-$root/build-fuzz}

source "$root/scripts/deps.sh"
quorvane_install_deps "${QUORVANE_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

# The whole project gets coverage instrumentation and the sanitizers; only the targets link
# libFuzzer's main (fuzz/CMakeLists.txt).
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
flags+=" -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$flags" -DQUORVANE_WERROR=ON \
    -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_FUZZERS=ON >/dev/null
cmake --build "$build" --target "${targets[@]}"

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
    binary="$build/fuzz/$target"
    work="$build/corpus/$target"  # new inputs go here, never into the checked-in seeds
    artifacts="$build/artifacts/$target/"
    mkdir -p "$work" "$artifacts"
    regressions=("$root/fuzz/regressions/$target"/*)
    if [ -e "${regressions[0]}" ] && ! "$binary" "${regressions[@]}"; then
        failed+=("$target (regression)")
        continue
    fi
    echo "== $target: ${seconds}s"
    # libFuzzer reports every new unit; keep that in a log and show the closing statistics.
    log="$build/logs/$target.log"
    mkdir -p "$(dirname "$log")"
    # A page that takes seconds to read or gigabytes of memory is as much a fault as a crash.
    if "$binary" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
        -max_len="${QUORVANE_FUZZ_MAX_LEN:-65536}" -print_final_stats=1 \
        -artifact_prefix="$artifacts" "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
        grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb))' "$log"
    else
        tail -n 60 "$log"
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
echo "Fuzzing passed: ${targets[*]}"
