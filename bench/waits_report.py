#!/usr/bin/env python3
"""The tables of what a user waits for, from one run of bench/compare.sh: the targets judged in
that run, the press to results for every page of the demo router beside the engine's floor and
Chromium, where a warm press goes, and the start-up. Standard library only.

  waits_report.py BENCH_JSON TURNS_JSON CHROMIUM_DIR

BENCH_JSON from quorvane-bench (with --benchmark_out), TURNS_JSON from turns.py (the warm presses
and the engine's floor measured in turns), CHROMIUM_DIR holding chromium-http-PAGE.json from
chromium_http.py. Every target is judged on medians: a user waits the median, not the best.
"""
import json
import os
import sys

from compare_report import best_runs, fmt_ms
from turns import as_runs

# The demo router's pages as the benchmarks name them, in the order of bench_inputs.h.
PAGES = ["static", "static-br", "static-table", "static-textarea", "static-div", "demo", "br",
         "table", "textarea", "div", "script-array", "script-file", "script-textarea",
         "hidden-field-rows", "styled-lines", "many-resources"]
SIZE = 65536


def engine_page(page):
    return not page.startswith("static")


def run_of(runs, family, page, size=SIZE):
    prefix = "%s/%s/bytes:%d/" % (family, page, size)
    return next((run for name, run in runs.items() if name.startswith(prefix)), None)


def median_best(run):
    if run is None:
        return "—"
    return "%s (%s)" % (fmt_ms(run["median_ms"]), fmt_ms(run["ms"]))


def load_of(run):
    return "%.2f" % run["load_avg_1m"] if run and "load_avg_1m" in run else "—"


class Chromium:
    """chromium_http.py's results, as runs like Google Benchmark's: best and median in ms."""

    def __init__(self, directory):
        self.results = {}
        for page in PAGES:
            path = os.path.join(directory, "chromium-http-%s.json" % page)
            if os.path.exists(path):
                with open(path) as f:
                    self.results[page] = json.load(f)

    def run(self, page, kind):
        result = self.results.get(page)
        if result is None:
            return None
        times = result[kind + "_ms"]
        return {"ms": times["best"], "median_ms": times["median"],
                "load_avg_1m": result["load_avg_1m"]["highest"]}

    def version(self):
        return next((r["version"] for r in self.results.values()), "Chromium not run")


def judged(rows, target, page, measured, limit_text, limit, *loads):
    met = "—" if measured is None or limit is None else (
        "yes" if measured["median_ms"] <= limit else "**no**")
    rows.append("| %s | %s | %s | %s | %s | %s |" % (
        target, page, median_best(measured), limit_text, met,
        "; ".join(load_of(run) for run in (measured,) + loads)))


def targets_table(runs, floors, chromium):
    print("| Target | Page | Measured: median (best) | Limit | Met | Load average (measured; "
          "reference) |")
    print("|---|---|---|---|---|---|")
    rows = []
    for page in PAGES:
        if not engine_page(page):
            continue
        warm = run_of(floors, "BM_ClickToResults", page) or run_of(runs, "BM_ClickToResults", page)
        floor = run_of(floors, "BM_EngineFloor", page)
        limit = 1.2 * floor["median_ms"] + 5 if floor else None
        judged(rows, "Warm press ≤ 1.2 × engine floor + 5 ms", page, warm,
               "1.2 × %s + 5 ms = %s" % (fmt_ms(floor["median_ms"]), fmt_ms(limit)) if floor else "—",
               limit, floor)
    styled = run_of(runs, "BM_ClickToResults", "demo")
    many = run_of(runs, "BM_ClickToResults", "many-resources")
    judged(rows, "A dozen files, some missing: warm press ≤ 1.5 × the styled page's",
           "many-resources", many, "1.5 × %s = %s" % (fmt_ms(styled["median_ms"]),
                                                      fmt_ms(1.5 * styled["median_ms"])),
           1.5 * styled["median_ms"], styled)
    floor = run_of(floors, "BM_EngineFloor", "demo")
    static = run_of(runs, "BM_ClickToResults", "static")
    judged(rows, "Static page, warm press ≤ ¼ of the engine floor (styled page)", "static",
           static, "%s ÷ 4 = %s" % (fmt_ms(floor["median_ms"]), fmt_ms(floor["median_ms"] / 4)),
           floor["median_ms"] / 4, floor)
    for page in PAGES:
        if not engine_page(page):
            continue
        cold = run_of(runs, "BM_ClickToResultsCold", page)
        theirs = chromium.run(page, "cold")
        limit = 1.5 * theirs["median_ms"] if theirs else None
        judged(rows, "Cold press ≤ 1.5 × Chromium's first navigation after its start", page, cold,
               "1.5 × %s = %s" % (fmt_ms(theirs["median_ms"]), fmt_ms(limit)) if theirs else "—",
               limit, theirs)
    start = next(run for name, run in runs.items() if name.startswith("BM_StartUpToWindowShown"))
    mapped = int(start.get("engine_mapped", -1))
    met = "yes" if start["median_ms"] <= 50 and mapped == 0 else "**no**"
    rows.append("| Start-up to the window's first frame ≤ 50 ms, engine library not mapped "
                "(offscreen) | — | %s; engine_mapped %d | 50 ms; 0 | %s | %s |" % (
                    median_best(start), mapped, met, load_of(start)))
    for row in rows:
        print(row)


def pages_table(runs, floors, chromium):
    print("| Page | Read by | Bytes (all files) | Warm press | Cold press | Engine floor | "
          "Chromium, later navigation | Chromium, first navigation | Load average (warm; cold; "
          "floor; Chromium) |")
    print("|---|---|---|---|---|---|---|---|---|")
    for page in PAGES:
        warm = run_of(runs, "BM_ClickToResults", page)
        cold = run_of(runs, "BM_ClickToResultsCold", page)
        floor = run_of(floors, "BM_EngineFloor", page)
        theirs_warm, theirs_cold = chromium.run(page, "warm"), chromium.run(page, "cold")
        size = warm["bytes"] if warm and "bytes" in warm else 0
        print("| %s | %s | %.0f KiB | %s | %s | %s | %s | %s | %s |" % (
            page, "engine" if engine_page(page) else "page reader", size / 1024,
            median_best(warm), median_best(cold), median_best(floor), median_best(theirs_warm),
            median_best(theirs_cold),
            "; ".join(load_of(r) for r in (warm, cold, floor, theirs_warm))))


def parts_table(runs, floors):
    """A warm press split by what was timed alone: the engine through our helper (the page's
    bytes over the pipe, the helper's page, its requests answered from the window's process, the
    text back) against the bare engine, and the rest of the press in the window's process."""
    print("| Page | Warm press | Engine through the helper | Engine floor | Helper over the "
          "floor | Window's process: press less engine |")
    print("|---|---|---|---|---|---|")
    for page in PAGES:
        render = run_of(runs, "BM_EngineRender", page)
        if render is None:
            continue
        warm = run_of(runs, "BM_ClickToResults", page)
        floor = run_of(floors, "BM_EngineFloor", page)
        print("| %s | %s | %s | %s | %s | %s |" % (
            page, fmt_ms(warm["ms"]), fmt_ms(render["ms"]), fmt_ms(floor["ms"]),
            fmt_ms(render["ms"] - floor["ms"]), fmt_ms(warm["ms"] - render["ms"])))
    print()
    print("| Page | Warm press | Page reader: process started, page in, text out | Text made "
          "in process | Process over making the text | Window's process: press less reader |")
    print("|---|---|---|---|---|---|")
    warm = run_of(runs, "BM_ClickToResults", "static")
    reader = run_of(runs, "BM_PageReader", "static")
    text = next((run for name, run in runs.items()
                 if name.startswith("BM_PageBytesToBodyText/bytes:65536/style:0")), None)
    if warm and reader and text:
        print("| static | %s | %s | %s | %s | %s |" % (
            fmt_ms(warm["ms"]), fmt_ms(reader["ms"]), fmt_ms(text["ms"]),
            fmt_ms(reader["ms"] - text["ms"]), fmt_ms(warm["ms"] - reader["ms"])))


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    repetitions, runs = best_runs(argv[1])
    floors = as_runs(argv[2])
    chromium = Chromium(argv[3])
    targets_table(runs, floors, chromium)
    print()
    print("Median of %d repetitions, each the mean of its presses (best of them in brackets); "
          "the warm presses judged against the engine floor, and the floor, are the median (best) "
          "of %d rounds in which press and floor ran in turns; Chromium median (best) of its "
          "navigations. %s." % (repetitions, min((r["runs"] for r in floors.values()), default=0),
                               chromium.version()))
    print()
    pages_table(runs, floors, chromium)
    print()
    parts_table(runs, floors)


if __name__ == "__main__":
    main(sys.argv)
