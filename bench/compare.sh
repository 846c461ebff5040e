#!/usr/bin/env bash
# Builds the benchmarks, runs them and what a user could take instead on the same data, and prints
# the tables. First what a user waits for: the press to the results drawn for every page layout of
# the demo router, warm and cold, beside the engine's own floor (a bare engine reading the same
# page, quorvane-bench-engine-floor) and beside Chromium opening the router's page over HTTP with
# the login (chromium_http.py), with the targets judged in this run; then the start-up. Then body
# text against Chromium's innerText of a local file, the system log analysis against grep, click
# to results against curl, linear scaling and the peak memory of all the program's processes
# against Chromium's. Installs what is missing with apt-get (through sudo when not root). Takes
# about an hour; the machine should be otherwise quiet, since everything is timed, and every
# row carries the load average it ran under.
#
# With --hostile it measures the pages built to be slow or hungry instead: for each, the time from
# the press to the result or the failure through the window with its default limits, how it
# ended, and the peak memory of all the program's processes, beside Chromium on the same page.
# One run per page of up to a minute for Quorvane and two for Chromium: about twenty minutes for
# the default sizes, 1 and 4 MiB, twenty more for the largest pages. Those are 32 MiB less 64 KiB
# (32704K): the router's page of "32M" is a few bytes over 32 MiB, and the response's header
# counts toward the program's 32 MiB cap as well, so that page is refused before anything parses
# it. QUORVANE_BENCH_KEEP=DIR keeps each row's results in DIR as soon as they are there.
#
#   bench/compare.sh                     (build directory: build-bench, or $QUORVANE_BENCH_BUILD)
#   bench/compare.sh --hostile           (1 and 4 MiB)
#   bench/compare.sh --hostile 1M,4M,32704K
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${QUORVANE_BENCH_BUILD:-$root/build-bench}"
hostile_sizes=""
case "${1:-}" in
    "") ;;
    --hostile) hostile_sizes="${2:-1M,4M}" ;;
    *) echo "usage: bench/compare.sh [--hostile [SIZES]]   (SIZES such as 1M,4M,32704K)" >&2
       exit 2 ;;
esac
work="$(mktemp -d)"
router_pid=""
stop_router() {
    if [[ -n "$router_pid" ]]; then
        kill "$router_pid" 2>/dev/null || true
        wait "$router_pid" 2>/dev/null || true
        router_pid=""
    fi
}
cleanup() {
    stop_router
    # What a run that stopped early has measured is kept too.
    if [[ -n "${QUORVANE_BENCH_KEEP:-}" && -z "$hostile_sizes" ]]; then
        mkdir -p "$QUORVANE_BENCH_KEEP"
        cp "$work"/*.json "$work"/*.txt "$QUORVANE_BENCH_KEEP"/ 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

say() { echo "== $*" >&2; }

# --- what the comparison needs ------------------------------------------------------------------
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-webengine-dev libgumbo-dev
          libcpp-httplib-dev libbenchmark-dev chromium hyperfine curl grep python3)
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
    quorvane-bench-engine-floor quorvane-bench-data quorvane-router-sim quorvane-page-reader \
    quorvane-engine >/dev/null
bin="$build/bench"
router="$build/tools/router-sim/quorvane-router-sim"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

# Starts the demo router with the given options and sets host and port; fails when it does not
# start listening within ten seconds.
start_router() {
    "$router" --password demo "$@" >"$work/router.out" &
    router_pid=$!
    for _ in $(seq 100); do grep -q "listening" "$work/router.out" 2>/dev/null && break; sleep 0.1; done
    read -r _ _ _ host port < <(head -1 "$work/router.out") && [[ -n "$port" ]]
}

# The demo router's options for a page as the benchmarks name it: "demo" is its default page (pre
# layout, with the router's own style sheet and script), "static-br" the br layout without them.
page_options() {
    case "$1" in
        demo) echo "--style pre" ;;
        static) echo "--style pre --plain-markup" ;;
        static-*) echo "--style ${1#static-} --plain-markup" ;;
        *) echo "--style $1" ;;
    esac
}

machine() {
    echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"\
         "$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory;" \
         "load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after."
    echo "Qt $(pkg-config --modversion Qt6Core) (Qt WebEngine $(pkg-config --modversion Qt6WebEngineCore)),"\
         "gumbo $(pkg-config --modversion gumbo), $(grep --version | head -1)," \
         "$(curl --version | head -1 | cut -d' ' -f1-2), $(chromium --version 2>/dev/null | head -1)."
    echo
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

# Adds the load average now to a measurement's JSON, so that every row states what it ran under.
note_load() { [[ -f "$1" ]] && python3 "$here/compare_report.py" note-load "$1" || true; }

# --- the hostile pages -----------------------------------------------------------------------------
if [[ -n "$hostile_sizes" ]]; then
    # Each row's results go where they are kept as soon as they are there, so that a long run
    # that is stopped keeps what it has.
    results="${QUORVANE_BENCH_KEEP:-$work}"
    mkdir -p "$results"
    for size in ${hostile_sizes//,/ }; do
        for page in div ul-li b-id attributes long-attribute a-div div-p p-b-id; do
            name="hostile-$page-$size"
            say "$name: Quorvane"
            if ! start_router --fault "hostile-$page" --hostile-size "$size"; then
                say "$name: the demo router did not start; row left out"
                stop_router
                continue
            fi
            # The very bytes the router serves, for Chromium.
            if ! curl --silent --show-error --fail --user admin:demo -o "$work/page.html" \
                "http://$host:$port/doc/syslog.htm"; then
                say "$name: the page could not be fetched with curl; row left out"
                stop_router
                continue
            fi
            # The program's default limits hold it to a minute; two give room to see a hang.
            python3 "$here/compare_report.py" peak-memory "$results/$name.quorvane.json" \
                --timeout 120 --keep-going -- "$bin/quorvane-bench-probe" fetch "$host" "$port" demo ||
                say "$name: the measurement of Quorvane failed"
            note_load "$results/$name.quorvane.json"
            stop_router
            say "$name: Chromium"
            # Stopped at two minutes, or should its processes together pass 4 GiB: the machine is
            # shared.
            python3 "$here/compare_report.py" chromium-page "$work/page.html" \
                "$here/chromium_inner_text.html" 120 "$results/$name.chromium.json" \
                "${QUORVANE_BENCH_CHROMIUM_MAX_MIB:-4096}" ||
                say "$name: the measurement of Chromium failed"
            note_load "$results/$name.chromium.json"
        done
    done
    machine
    python3 "$here/compare_report.py" hostile-table "$results"
    exit 0
fi

# --- our own benchmarks --------------------------------------------------------------------------
# Ten repetitions, since every target is judged on a median.
say "Google Benchmark (about thirty-five minutes)"
"$bin/quorvane-bench" --benchmark_repetitions=10 --benchmark_min_time=0.3 \
    --benchmark_out="$work/bench.json" >"$work/bench.txt" 2>/dev/null

# The warm press beside the engine's floor in turns, ten rounds, so that the load falls on both.
say "warm presses and the engine's floor in turns (about fifteen minutes)"
python3 "$here/turns.py" run "$work/turns.json" 10 \
    demo,br,table,textarea,div,script-array,script-file,script-textarea,hidden-field-rows,styled-lines,many-resources \
    65536 "$build"

# --- Chromium opening the router's page over HTTP ------------------------------------------------
say "Chromium over HTTP: every page, cold and warm (about six minutes)"
lines_64k="$("$bin/quorvane-bench-data" firewall-lines 65536)"
for page in static static-br static-table static-textarea static-div demo br table textarea div \
            script-array script-file script-textarea hidden-field-rows styled-lines many-resources; do
    # shellcheck disable=SC2046  # the options are words
    start_router $(page_options "$page") --firewall-lines "$lines_64k"
    # Ten browsers, so that the first navigation too has a median of ten.
    python3 "$here/chromium_http.py" "http://admin:demo@$host:$port/doc/syslog.htm" \
        "$lines_64k" "$work/chromium-http-$page.json" 10 2
    stop_router
done

# --- the same data for the other tools -----------------------------------------------------------
say "writing the pages"
"$bin/quorvane-bench-data" page 1048576 "$work/page-1MiB.html"
"$bin/quorvane-bench-data" text "$work/page-1MiB.html" "$work/text-1MiB.txt"
"$bin/quorvane-bench-data" page 16777216 "$work/page-16MiB.html"
"$bin/quorvane-bench-data" text "$work/page-16MiB.html" "$work/log-16MiB.txt"

say "Chromium: innerText of the 1 MiB page"
python3 "$here/compare_report.py" chromium-text "$work/page-1MiB.html" \
    "$here/chromium_inner_text.html" 10 "$work/text-1MiB.txt" "$work/chromium.json"
note_load "$work/chromium.json"

say "grep -ci over the 16 MiB log"
# Output through a pipe: grep stops at the first match when its output is /dev/null.
hyperfine -N --output=pipe --warmup 3 --runs 30 --export-json "$work/grep.json" \
    "grep -ci -e 'WAN IP is ' -e 'Firewall:' -e 'DNS Primary IP address is ' -e 'DNS Secondary IP address is ' -e 'Received time from Time Server' -e 'PPP1 Session is up.' $work/log-16MiB.txt" \
    >/dev/null
note_load "$work/grep.json"

# --- peak memory of a whole run on a 4 MiB page ---------------------------------------------------
say "peak memory: Quorvane and Chromium on the 4 MiB page"
lines="$("$bin/quorvane-bench-data" firewall-lines 4194304)"
# The demo router's default page, whose style sheet sends it to the engine.
start_router --firewall-lines "$lines"
# The very page that the router serves, for Chromium.
curl --silent --fail --user admin:demo -o "$work/page-4MiB.html" "http://$host:$port/doc/syslog.htm"
python3 "$here/compare_report.py" peak-memory "$work/quorvane-engine-mem.json" -- \
    "$bin/quorvane-bench-probe" fetch "$host" "$port" demo
note_load "$work/quorvane-engine-mem.json"
stop_router
# The same log in a page without style sheet or script, which the page reader reads.
start_router --firewall-lines "$lines" --plain-markup
python3 "$here/compare_report.py" peak-memory "$work/quorvane-static-mem.json" -- \
    "$bin/quorvane-bench-probe" fetch "$host" "$port" demo
note_load "$work/quorvane-static-mem.json"
stop_router
profile="$(mktemp -d "$work/profile.XXXXXX")"
python3 "$here/compare_report.py" peak-memory "$work/chromium-mem.json" -- \
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --allow-file-access-from-files --user-data-dir="$profile" --dump-dom \
    "file://$here/chromium_inner_text.html?page=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote("file://" + sys.argv[1], safe=""))' "$work/page-4MiB.html")"
note_load "$work/chromium-mem.json"

# --- the tables -----------------------------------------------------------------------------------
machine
python3 "$here/waits_report.py" "$work/bench.json" "$work/turns.json" "$work"
echo
python3 "$here/compare_report.py" table "$work/bench.json" "$work/chromium.json" \
    "$work/grep.json" "$work/quorvane-engine-mem.json" "$work/quorvane-static-mem.json" \
    "$work/chromium-mem.json"
