#!/usr/bin/env bash
# Builds the benchmarks, runs them and the tools a user could take instead on the same data, and
# prints one table: body text against Chromium's innerText, the system log analysis against
# grep, click to results against curl on the demo router, linear scaling, start-up and peak
# memory against Chromium. Installs what is missing with apt-get (through sudo when not root).
# Takes a few minutes; the machine should be otherwise quiet, since everything is timed.
#
#   bench/compare.sh            (build directory: build-bench, or $QUORVANE_BENCH_BUILD)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${QUORVANE_BENCH_BUILD:-$root/build-bench}"
work="$(mktemp -d)"
router_pid=""
cleanup() {
    if [[ -n "$router_pid" ]]; then kill "$router_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

say() { echo "== $*" >&2; }

# --- what the comparison needs ------------------------------------------------------------------
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgumbo-dev libcpp-httplib-dev
          libbenchmark-dev chromium hyperfine curl grep python3)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    say "installing ${missing[*]}"
    sudo_cmd=()
    [[ $EUID -ne 0 ]] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >&2
fi

# --- build ---------------------------------------------------------------------------------------
say "building in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUORVANE_BUILD_BENCHMARKS=ON -DQUORVANE_BUILD_TESTS=OFF >/dev/null
nice -n 10 cmake --build "$build" --target quorvane-bench quorvane-bench-probe \
    quorvane-bench-data quorvane-router-sim >/dev/null
bin="$build/bench"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

# --- our own benchmarks --------------------------------------------------------------------------
say "Google Benchmark (about three minutes)"
"$bin/quorvane-bench" --benchmark_repetitions=5 --benchmark_min_time=0.3 \
    --benchmark_out="$work/bench.json" --benchmark_out_format=json >"$work/bench.txt" 2>/dev/null

# --- the same data for the other tools -----------------------------------------------------------
say "writing the pages"
"$bin/quorvane-bench-data" page 1048576 "$work/page-1MiB.html"
"$bin/quorvane-bench-data" text "$work/page-1MiB.html" "$work/text-1MiB.txt"
"$bin/quorvane-bench-data" page 16777216 "$work/page-16MiB.html"
"$bin/quorvane-bench-data" text "$work/page-16MiB.html" "$work/log-16MiB.txt"

say "Chromium: innerText of the 1 MiB page"
python3 "$here/compare_report.py" chromium-text "$work/page-1MiB.html" \
    "$here/chromium_inner_text.html" 5 "$work/text-1MiB.txt" "$work/chromium.json"

say "grep -ci over the 16 MiB log"
# Output through a pipe: grep stops at the first match when its output is /dev/null.
hyperfine -N --output=pipe --warmup 3 --runs 30 --export-json "$work/grep.json" \
    "grep -ci -e 'WAN IP is ' -e 'Firewall:' -e 'DNS Primary IP address is ' -e 'DNS Secondary IP address is ' -e 'Received time from Time Server' -e 'PPP1 Session is up.' $work/log-16MiB.txt" \
    >/dev/null

# --- peak memory of a whole run on a 4 MiB page ---------------------------------------------------
say "peak memory: Quorvane and Chromium on the 4 MiB page"
lines="$("$bin/quorvane-bench-data" firewall-lines 4194304)"
"$build/tools/router-sim/quorvane-router-sim" --password demo --firewall-lines "$lines" \
    >"$work/router.out" &
router_pid=$!
for _ in $(seq 100); do grep -q "listening" "$work/router.out" 2>/dev/null && break; sleep 0.1; done
read -r _ _ _ host port < <(head -1 "$work/router.out")
# The very page that the router serves, for Chromium.
curl --silent --fail --user admin:demo -o "$work/page-4MiB.html" "http://$host:$port/doc/syslog.htm"
python3 "$here/compare_report.py" peak-memory "$work/quorvane-mem.json" -- \
    "$bin/quorvane-bench-probe" fetch "$host" "$port" demo
profile="$(mktemp -d "$work/profile.XXXXXX")"
python3 "$here/compare_report.py" peak-memory "$work/chromium-mem.json" -- \
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --allow-file-access-from-files --user-data-dir="$profile" --dump-dom \
    "file://$here/chromium_inner_text.html?page=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote("file://" + sys.argv[1], safe=""))' "$work/page-4MiB.html")"
kill "$router_pid"
wait "$router_pid" 2>/dev/null || true
router_pid=""

# --- the table ------------------------------------------------------------------------------------
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"\
     "$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory;" \
     "load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after."
echo "Qt $(pkg-config --modversion Qt6Core), gumbo $(pkg-config --modversion gumbo)," \
     "$(grep --version | head -1), $(curl --version | head -1 | cut -d' ' -f1-2)."
echo
python3 "$here/compare_report.py" table "$work/bench.json" "$work/chromium.json" \
    "$work/grep.json" "$work/quorvane-mem.json" "$work/chromium-mem.json"
if [[ -n "${QUORVANE_BENCH_KEEP:-}" ]]; then
    mkdir -p "$QUORVANE_BENCH_KEEP"
    cp "$work"/*.json "$work/bench.txt" "$QUORVANE_BENCH_KEEP"/
fi
