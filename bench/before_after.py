#!/usr/bin/env python3
"""The helpers of bench/before_after.sh: two builds of the program measured in turns, so that the
machine's load falls on both alike. Standard library only.

  before_after.py start-up OUT_JSON RUNS OLD_BUILD NEW_BUILD
  before_after.py clicks OUT_JSON ROUNDS ROUTER OLD_BUILD NEW_BUILD
  before_after.py table OLD_BUILD NEW_BUILD JSON...

A build is a build directory with the benchmarks (bench/quorvane-bench, bench/quorvane-bench-probe).
start-up runs each build's probe RUNS times in turns, on whatever platform the environment names,
and in the same turns the floor under it: Qt's own window with a caption and a text box.
clicks runs, ROUNDS times and in turns, each build's warm click rows (one repetition of
quorvane-bench) and its cold presses (the probe, a new program per press, against the demo router
program ROUTER, started here for each page).
"""
import json
import os
import re
import statistics
import subprocess
import sys
import time

from compare_report import fmt_ms, load_average, stop_session

PAGES = ("demo", "static", "script-file", "script-array")
ROUTER_OPTIONS = {"demo": [], "static": ["--plain-markup"], "script-file": ["--style", "script-file"],
                  "script-array": ["--style", "script-array"]}
FLOOR = "floor"
COLD_PRESSES = 3  # a round's cold presses of one page with one build


def program(build, name):
    return os.path.join(build, "bench", name)


def start_up(out_json, runs, builds):
    # The floor: Qt's own window with a caption and a text box, from the new build's probe.
    commands = {build: [program(build, "quorvane-bench-probe"), "start-up"] for build in builds}
    commands[FLOOR] = [program(builds[-1], "quorvane-bench-probe"), "start-up-floor"]
    times = {name: [] for name in commands}
    loads = [load_average()]
    for _ in range(runs):
        for name, command in commands.items():
            started = time.monotonic_ns()
            done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  check=True)
            times[name].append((int(done.stdout.split()[1]) - started) / 1e6)
    loads.append(load_average())
    platform = os.environ.get("QT_QPA_PLATFORM") or "xcb on " + os.environ.get("DISPLAY", "?")
    with open(out_json, "w") as f:
        json.dump({"kind": "start-up", "platform": platform, "times": times, "loads": loads}, f)


def start_router(router, lines, page):
    process = subprocess.Popen(
        [router, "--password", "demo", "--firewall-lines", lines, *ROUTER_OPTIONS[page]],
        stdout=subprocess.PIPE, start_new_session=True, text=True)
    words = process.stdout.readline().split()  # "router-sim listening on HOST PORT"
    return process, words[3], words[4]


def cold_press(build, host, port):
    done = subprocess.run([program(build, "quorvane-bench-probe"), "fetch", host, port, "demo"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    report = dict(line.split(" ", 1) for line in done.stdout.splitlines() if " " in line)
    if done.returncode != 0 or report.get("outcome") != "result":
        sys.exit("%s: the cold press did not show the findings" % build)
    return float(report["click_to_results_ms"])


def warm_presses(build, work):
    """One repetition of each warm click row: the mean of its presses, in ms."""
    out = os.path.join(work, "warm.json")
    subprocess.run([program(build, "quorvane-bench"), "--benchmark_out=" + out,
                    "--benchmark_filter=^BM_ClickToResults/(%s)/bytes:65536/" % "|".join(PAGES)],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    with open(out) as f:
        rows = json.load(f)["benchmarks"]
    return {re.match(r"BM_ClickToResults/([a-z-]+)/", row["name"]).group(1): row["real_time"]
            for row in rows if not row.get("error_occurred")}


def clicks(out_json, rounds, router, builds):
    work = os.path.dirname(os.path.abspath(out_json))
    warm = {build: {page: [] for page in PAGES} for build in builds}
    cold = {build: {page: [] for page in PAGES} for build in builds}
    # The log of the 64 KiB page, as the benchmarks make it.
    lines = subprocess.run([program(builds[-1], "quorvane-bench-data"), "firewall-lines", "65536"],
                           stdout=subprocess.PIPE, text=True, check=True).stdout.strip()
    loads = [load_average()]
    for _ in range(rounds):
        for build in builds:
            for page, ms in warm_presses(build, work).items():
                warm[build][page].append(ms)
        for page in PAGES:
            process, host, port = start_router(router, lines, page)
            try:
                for _ in range(COLD_PRESSES):
                    for build in builds:
                        cold[build][page].append(cold_press(build, host, port))
            finally:
                stop_session(process.pid)
                process.wait()
        loads.append(load_average())
    with open(out_json, "w") as f:
        json.dump({"kind": "clicks", "warm": warm, "cold": cold, "loads": loads}, f)


def cell(times):
    if not times:
        return "—"
    return "%s (%s)" % (fmt_ms(min(times)), fmt_ms(statistics.median(times)))


def ratio(old, new):
    if not old or not new:
        return "—"
    return "%.2f" % (statistics.median(new) / statistics.median(old))


def loads_text(result):
    return "%.2f → %.2f (highest %.2f)" % (result["loads"][0], result["loads"][-1],
                                           max(result["loads"]))


def table(builds, paths):
    old, new = builds
    print("| Measure | Before (%s) | After (%s) | After ÷ before (medians) | Runs | Load average "
          "|" % (old, new))
    print("|---|---|---|---|---|---|")
    for path in paths:
        with open(path) as f:
            result = json.load(f)
        if result["kind"] == "start-up":
            times = result["times"]
            print("| Start-up to the window's first frame, %s | %s | %s | %s | %d each | %s |" % (
                result["platform"], cell(times[old]), cell(times[new]),
                ratio(times[old], times[new]), len(times[new]), loads_text(result)))
            if FLOOR in times:
                print("| The floor: Qt's window with a caption and a text box, %s | | %s | %s "
                      "(after ÷ floor) | %d | %s |" % (result["platform"], cell(times[FLOOR]),
                                                      ratio(times[FLOOR], times[new]),
                                                      len(times[FLOOR]), loads_text(result)))
            continue
        for kind, what in (("warm", "warm (mean of a repetition's presses)"),
                           ("cold", "cold (a new program per press)")):
            for page in PAGES:
                before, after = result[kind][old][page], result[kind][new][page]
                print("| Press to results, 64 KiB %s page, %s | %s | %s | %s | %d each | %s |" % (
                    page, what, cell(before), cell(after), ratio(before, after), len(after),
                    loads_text(result)))
    print()
    print("Best (median) in each cell. The builds ran in turns within each measure.")


def main(argv):
    if len(argv) == 6 and argv[1] == "start-up":
        start_up(argv[2], int(argv[3]), [argv[4], argv[5]])
    elif len(argv) == 7 and argv[1] == "clicks":
        clicks(argv[2], int(argv[3]), argv[4], [argv[5], argv[6]])
    elif len(argv) >= 5 and argv[1] == "table":
        table(argv[2:4], argv[4:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
