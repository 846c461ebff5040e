#!/usr/bin/env python3
"""The warm press beside the engine's floor, measured in turns: each round runs one repetition of
the press rows of every build given (quorvane-bench) and one of the floor's rows
(quorvane-bench-engine-floor of the last build), the order turned round every other round, so
that the load of a shared machine falls on all of them alike. Targets are judged on the medians
of the rounds; the best is shown beside it. Standard library only.

  turns.py run OUT_JSON ROUNDS PAGES SIZE BUILD [BUILD...]
  turns.py table JSON

PAGES is a comma-separated list of the benchmarks' page names (textarea,table,...), SIZE the
page's size in bytes (65536; 1048576 for the hostile pages). A build is a build directory with the
benchmarks built. A repetition of a press row is the mean of its presses (Google Benchmark's
min time); a hostile row is one press.
"""
import json
import os
import re
import statistics
import subprocess
import sys

from compare_report import fmt_ms, load_average

FLOOR = "floor"


def rows(program, family, pages, size, out):
    subprocess.run([program, "--benchmark_out=" + out, "--benchmark_repetitions=1",
                    "--benchmark_filter=^%s/(%s)/bytes:%d/" % (family, "|".join(pages), size)],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False,
                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    try:
        with open(out) as f:
            found = json.load(f)["benchmarks"]
    except (OSError, ValueError):
        return {}
    result = {}
    for row in found:
        page = re.match(r"\w+/([a-z-]+)/", row["name"]).group(1)
        if row.get("error_occurred"):
            continue
        result[page] = {"ms": row["real_time"], "shown": row.get("shown", 1)}
    return result


def run(out_json, rounds, pages, size, builds):
    work = os.path.dirname(os.path.abspath(out_json))
    scratch = os.path.join(work, "turn.json")
    takers = [(build, os.path.join(build, "bench", "quorvane-bench"), "BM_ClickToResults")
              for build in builds]
    takers.append((FLOOR, os.path.join(builds[-1], "bench", "quorvane-bench-engine-floor"),
                   "BM_EngineFloor"))
    times = {who: {page: [] for page in pages} for who, _, _ in takers}
    shown = {who: {page: [] for page in pages} for who, _, _ in takers}
    loads = []
    for turn in range(rounds):
        for who, program, family in takers if turn % 2 == 0 else reversed(takers):
            loads.append(load_average())
            for page, got in rows(program, family, pages, size, scratch).items():
                times[who][page].append(got["ms"])
                shown[who][page].append(got["shown"])
        loads.append(load_average())
        print("round %d of %d, load %.2f" % (turn + 1, rounds, loads[-1]), file=sys.stderr)
    with open(out_json, "w") as f:
        json.dump({"builds": builds, "pages": pages, "size": size, "times": times,
                   "shown": shown, "loads": loads}, f)


def as_runs(path):
    """The last build's presses and the floor's readings as runs of Google Benchmark's, as
    compare_report.best_runs gives them: best and median in ms, the median load of the rounds."""
    with open(path) as f:
        result = json.load(f)
    load = statistics.median(result["loads"])
    runs = {}
    for who, family in ((result["builds"][-1], "BM_ClickToResults"), (FLOOR, "BM_EngineFloor")):
        for page, times in result["times"][who].items():
            if times:
                runs["%s/%s/bytes:%d/turns" % (family, page, result["size"])] = {
                    "ms": min(times), "median_ms": statistics.median(times), "load_avg_1m": load,
                    "runs": len(times)}
    return runs


def cell(times, shown=None):
    if not times:
        return "—"
    text = "%s (%s)" % (fmt_ms(statistics.median(times)), fmt_ms(min(times)))
    if shown is not None and min(shown) < 1:
        text += ", findings in %d of %d" % (sum(1 for s in shown if s >= 1), len(shown))
    return text


def table(path):
    with open(path) as f:
        result = json.load(f)
    builds, times, shown = result["builds"], result["times"], result["shown"]
    names = builds
    print("| Page | %s | Floor | Press ÷ floor (medians) | Target: median ≤ 1.2 × floor + 5 ms "
          "| Rounds | Load average |" % " | ".join("Warm press, %s" % n for n in names))
    print("|---|%s---|---|---|---|---|" % ("---|" * len(builds)))
    loads = result["loads"]
    load_text = "%.2f–%.2f (median %.2f)" % (min(loads), max(loads), statistics.median(loads))
    for page in result["pages"]:
        floor = times[FLOOR][page]
        last = times[builds[-1]][page]
        if floor and last:
            press, base = statistics.median(last), statistics.median(floor)
            limit = 1.2 * base + 5
            ratio = "%.2f" % (press / base)
            met = "%s ≤ %s: %s" % (fmt_ms(press), fmt_ms(limit),
                                   "yes" if press <= limit else "**no**")
        else:
            ratio = met = "—"
        print("| %s | %s | %s | %s | %s | %d | %s |" % (
            page, " | ".join(cell(times[b][page], shown[b][page]) for b in builds),
            cell(floor, shown[FLOOR][page]), ratio, met, len(floor), load_text))
    print()
    print("Median (best) of the rounds in each cell; press and floor ran in turns in every round.")


def main(argv):
    if len(argv) >= 7 and argv[1] == "run":
        run(argv[2], int(argv[3]), argv[4].split(","), int(argv[5]), argv[6:])
    elif len(argv) == 3 and argv[1] == "table":
        table(argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
