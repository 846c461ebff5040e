#!/usr/bin/env python3
"""Helpers of bench/compare.sh: timing Chromium's innerText, sampling the peak memory of a process
tree, and printing the one table from all the results. Standard library only.

  compare_report.py chromium-text PAGE HARNESS RUNS EXPECTED_TEXT OUT_JSON
  compare_report.py peak-memory OUT_JSON -- COMMAND...
  compare_report.py scaling BENCH_JSON     (from quorvane-bench --benchmark_out=BENCH_JSON)
  compare_report.py table BENCH_JSON CHROMIUM_JSON GREP_JSON QUORVANE_MEM_JSON CHROMIUM_MEM_JSON
"""
import base64
import json
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

# The flags that make Chromium run headless on this kind of machine without reaching out.
CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    # The harness reads the page in a frame; file pages may see each other only with this.
    "--allow-file-access-from-files",
]

RESULT = re.compile(rb"LOAD ([0-9.]+) TEXT ([0-9.]+) BEGIN([A-Za-z0-9+/=]*)END")


def chromium_command(page, harness, profile):
    url = "file://" + harness + "?page=" + urllib.parse.quote("file://" + page, safe="")
    return ["chromium", *CHROMIUM_FLAGS, "--user-data-dir=" + profile, "--dump-dom", url]


def same_text(chromium_text, expected_bytes):
    """Quorvane ends every line, the last one too, with CR LF; innerText adds no line end at the
    end. Compared after CR LF becomes LF and a missing last line end is added."""
    ours = expected_bytes.replace(b"\r\n", b"\n")
    theirs = chromium_text
    if theirs and not theirs.endswith(b"\n"):
        theirs += b"\n"
    return ours == theirs


def chromium_text(page, harness, runs, expected, out_json):
    with open(expected, "rb") as f:
        expected_bytes = f.read()
    whole, load, text, same = [], [], [], []
    for run in range(runs + 1):  # the first run warms the page cache and is not counted
        with tempfile.TemporaryDirectory(prefix="quorvane-chromium-") as profile:
            command = chromium_command(page, harness, profile)
            started = time.monotonic_ns()
            done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            finished = time.monotonic_ns()
        found = RESULT.search(done.stdout)
        if done.returncode != 0 or not found:
            sys.exit("chromium gave no innerText for " + page)
        if run == 0:
            continue
        whole.append((finished - started) / 1e6)
        load.append(float(found.group(1)))
        text.append(float(found.group(2)))
        same.append(same_text(base64.b64decode(found.group(3)), expected_bytes))
    result = {
        "runs": runs,
        "whole_ms": min(whole),
        "load_ms": min(load),
        "text_ms": min(text),
        "load_and_text_ms": min(a + b for a, b in zip(load, text)),
        "whole_median_ms": statistics.median(whole),
        "load_and_text_median_ms": statistics.median(a + b for a, b in zip(load, text)),
        "same_text": all(same),
        "version": subprocess.run(["chromium", "--version"], capture_output=True,
                                  text=True).stdout.strip(),
    }
    with open(out_json, "w") as f:
        json.dump(result, f, indent=1)


def session_members(session):
    members = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/" + name + "/stat", "rb") as f:
                fields = f.read().rsplit(b")", 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session:  # the field after ppid and pgrp
            members.append(name)
    return members


def resident_kb(pid):
    rss = pss = 0
    try:
        with open("/proc/" + pid + "/smaps_rollup") as f:
            for line in f:
                if line.startswith("Rss:"):
                    rss = int(line.split()[1])
                elif line.startswith("Pss:"):
                    pss = int(line.split()[1])
    except OSError:
        pass
    return rss, pss


def peak_memory(out_json, command, interval=0.02):
    """Runs COMMAND in a session of its own and samples every process of that session: the peak
    of the summed PSS (shared pages split between the processes that share them) and of the summed
    RSS (shared pages counted in each)."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    chunks = []
    reader = threading.Thread(target=lambda: chunks.append(process.stdout.read()))
    reader.start()
    peak_pss = peak_rss = peak_processes = 0
    while process.poll() is None:
        members = session_members(process.pid)
        sizes = [resident_kb(pid) for pid in members]
        peak_rss = max(peak_rss, sum(rss for rss, _ in sizes))
        peak_pss = max(peak_pss, sum(pss for _, pss in sizes))
        peak_processes = max(peak_processes, len(members))
        time.sleep(interval)
    reader.join()
    output = b"".join(chunks).decode("utf-8", "replace")
    result = {
        "exit_code": process.returncode,
        # The kernel's own peak of the largest single process of the tree: exact, a lower bound.
        "largest_process_kb": resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss,
        "pss_peak_kb": peak_pss,
        "rss_sum_peak_kb": peak_rss,
        "processes": peak_processes,
        "output": output if len(output) < 4096 else "",
    }
    # For Chromium: whether the harness got as far as the page's text.
    result["gave_inner_text"] = RESULT.search(b"".join(chunks)) is not None
    found = re.search(r"VmHWM_kB (\d+)", output)
    if found:
        result["vmhwm_kb"] = int(found.group(1))
    with open(out_json, "w") as f:
        json.dump(result, f, indent=1)
    if process.returncode != 0:
        sys.exit("failed: " + " ".join(command))


# --- the table ---------------------------------------------------------------------------------

UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def best_runs(bench_json):
    """The fastest repetition of each benchmark, in ms, with its counters. On a shared machine
    other work only ever adds time, so the best of several repetitions is the steadiest figure;
    the median is kept beside it."""
    with open(bench_json) as f:
        data = json.load(f)
    repetitions = {}
    iterations = [b for b in data["benchmarks"] if b.get("run_type", "iteration") == "iteration"]
    if not iterations:  # written with --benchmark_report_aggregates_only: take the medians
        iterations = [b for b in data["benchmarks"] if b.get("aggregate_name") == "median"]
    for b in iterations:
        if b.get("error_occurred"):
            continue
        repetitions.setdefault(b.get("run_name", b["name"]), []).append(
            dict(b, ms=b["real_time"] * UNIT_MS[b["time_unit"]]))
    runs = {}
    for name, reps in repetitions.items():
        best = dict(min(reps, key=lambda r: r["ms"]))
        best["median_ms"] = statistics.median(r["ms"] for r in reps)
        if "transfer_ms" in best:
            best["transfer_ms"] = min(r["transfer_ms"] for r in reps)
        runs[name] = best
    return max(len(r) for r in repetitions.values()), runs


def find(runs, prefix):
    for name, run in runs.items():
        if name.startswith(prefix):
            return run
    sys.exit("no benchmark " + prefix + " in the results")


def fmt_ms(ms):
    return "%.3g ms" % ms if ms < 10 else "%.0f ms" % ms if ms >= 100 else "%.1f ms" % ms


def mib(kb):
    return "%.0f MiB" % (kb / 1024)


SCALED = ("BM_PageBytesToBodyText", "BM_SystemLogAnalysis", "BM_SecurityLogAnalysis",
          "BM_DatedLogLines")


def scaling_rows(runs):
    """Time per byte at 16 MiB against time per byte at 64 KiB, for each benchmark family."""
    rows = []
    for family in SCALED:
        suffix = "/style:0" if family == "BM_PageBytesToBodyText" else ""
        small = find(runs, "%s/bytes:65536%s" % (family, suffix))
        large = find(runs, "%s/bytes:16777216%s" % (family, suffix))
        ratio = (large["ms"] / large["bytes"]) / (small["ms"] / small["bytes"])
        rows.append(("Linear scaling of %s: time per byte at 16 MiB ÷ at 64 KiB" % family[3:],
                     "%s → %s (%.0f → %.0f MB/s)" % (
                         fmt_ms(small["ms"]), fmt_ms(large["ms"]),
                         small["bytes"] / small["ms"] / 1e3, large["bytes"] / large["ms"] / 1e3),
                     ratio, ratio <= 1.5))
    return rows


def scaling(bench_json):
    _, runs = best_runs(bench_json)
    for what, ours, ratio, met in scaling_rows(runs):
        print("%-75s %-40s %.2f %s" % (what, ours, ratio, "ok" if met else "OVER 1.5"))


def table(bench_json, chromium_json, grep_json, quorvane_mem_json, chromium_mem_json):
    repetitions, runs = best_runs(bench_json)
    chromium = json.load(open(chromium_json))
    grep = json.load(open(grep_json))["results"][0]
    qmem = json.load(open(quorvane_mem_json))
    cmem = json.load(open(chromium_mem_json))
    rows = []

    def row(what, ours, theirs, ratio, target, met):
        rows.append((what, ours, theirs, ratio, target, "yes" if met else "**no**" if met is
                     not None else "—"))

    # Body text of the 1 MiB page.
    text = find(runs, "BM_PageBytesToBodyText/bytes:1048576/style:0")["ms"]
    same = "same text" if chromium["same_text"] else "**text differs**"
    for label, key, judged in (("whole command", "whole_ms", False),
                               ("in page: load + innerText", "load_and_text_ms", True),
                               ("in page: innerText call alone", "text_ms", False)):
        ratio = chromium[key] / text
        row("Body text, 1 MiB page — Chromium " + label, fmt_ms(text),
            fmt_ms(chromium[key]) + (" (" + same + ")" if judged else ""),
            "%.1f× faster" % ratio if ratio >= 1 else "%.2f× (slower)" % ratio,
            "≥ 5× faster (judged here)" if judged else "", ratio >= 5 if judged else None)

    # System log analysis of the 16 MiB log against grep -ci.
    analysis = find(runs, "BM_SystemLogAnalysis/bytes:16777216")["ms"]
    grep_ms = grep["min"] * 1e3
    ratio = analysis / grep_ms
    row("System log analysis, 16 MiB log — `grep -ci` six markers", fmt_ms(analysis),
        fmt_ms(grep_ms), "%.1f× grep's time" % ratio, "≤ 3×", ratio <= 3)

    # Click to results against curl.
    for size, label in ((65536, "64 KiB"), (4194304, "4 MiB")):
        click = find(runs, "BM_ClickToResults/bytes:%d/" % size)["ms"]
        curl = find(runs, "BM_CurlFetch/bytes:%d/" % size)
        whole, transfer = curl["ms"], curl["transfer_ms"]
        limit = 1.5 * transfer + 20
        row("Click to results, %s page — curl (its transfer; whole command)" % label,
            fmt_ms(click), "%s; %s" % (fmt_ms(transfer), fmt_ms(whole)),
            "limit %s (%s on the whole command)" % (fmt_ms(limit), fmt_ms(1.5 * whole + 20)),
            "≤ 1.5 × curl + 20 ms (judged on the transfer)", click <= limit)

    for what, ours, ratio, met in scaling_rows(runs):
        row(what, ours, "", "%.2f" % ratio, "≤ 1.5", met)

    start = find(runs, "BM_StartUpToWindowShown")["ms"]
    row("Start-up: process start to the window's first frame", fmt_ms(start), "", "", "", None)

    row("Peak memory, a whole run on a 4 MiB page — Chromium loading it and taking innerText",
        "%s VmHWM (sampled PSS %s)" % (mib(qmem["vmhwm_kb"]), mib(qmem["pss_peak_kb"])),
        "%s sampled PSS of %d processes (RSS sum %s; largest process %s)" % (
            mib(cmem["pss_peak_kb"]), cmem["processes"], mib(cmem["rss_sum_peak_kb"]),
            mib(cmem["largest_process_kb"])),
        "%.1f× less (%.1f× against its largest process)" % (
            cmem["pss_peak_kb"] / qmem["vmhwm_kb"],
            cmem["largest_process_kb"] / qmem["vmhwm_kb"]), "", None)

    print("| Measure | Quorvane | Alternative | Ratio | Target | Met |")
    print("|---|---|---|---|---|---|")
    for r in rows:
        print("| " + " | ".join(r) + " |")
    print()
    print("Times are the best of several runs, the same rule for every tool: Google Benchmark "
          "repetitions %s; Chromium %d runs after a warm-up; grep %d runs (hyperfine). %s." % (
              repetitions, chromium["runs"], len(grep["times"]),
              chromium["version"]))


def main(argv):
    if len(argv) == 7 and argv[1] == "chromium-text":
        chromium_text(argv[2], argv[3], int(argv[4]), argv[5], argv[6])
    elif len(argv) >= 5 and argv[1] == "peak-memory" and argv[3] == "--":
        peak_memory(argv[2], argv[4:])
    elif len(argv) == 3 and argv[1] == "scaling":
        scaling(argv[2])
    elif len(argv) == 7 and argv[1] == "table":
        table(*argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
