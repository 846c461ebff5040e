#!/usr/bin/env python3
"""Helpers of bench/compare.sh: timing Chromium's innerText, sampling the peak memory of a process
tree, and printing the tables from all the results. Standard library only.

  compare_report.py chromium-text PAGE HARNESS RUNS EXPECTED_TEXT OUT_JSON
  compare_report.py chromium-page PAGE HARNESS TIMEOUT_S OUT_JSON [MAX_MIB]
  compare_report.py peak-memory OUT_JSON [--timeout S] [--keep-going] -- COMMAND...
  compare_report.py start-up PROBE...      (builds of quorvane-bench-probe, run in turns)
  compare_report.py scaling BENCH_JSON     (from quorvane-bench --benchmark_out=BENCH_JSON)
  compare_report.py table BENCH_JSON CHROMIUM_JSON GREP_JSON ENGINE_MEM_JSON STATIC_MEM_JSON \
                          CHROMIUM_MEM_JSON
  compare_report.py hostile-table DIR      (hostile-PAGE-SIZE.quorvane.json and .chromium.json)
  compare_report.py note-load JSON         (adds the load average now to a JSON object's file)
"""
import base64
import json
import os
import re
import resource
import signal
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
        "text_median_ms": statistics.median(text),
        "same_text": all(same),
        "version": subprocess.run(["chromium", "--version"], capture_output=True,
                                  text=True).stdout.strip(),
    }
    with open(out_json, "w") as f:
        json.dump(result, f, indent=1)


def session_members(session):
    """The live processes of a session, with their names: every process that a command started,
    directly or not, stays in the session it was started in, even once its parent is gone.
    Zombies hold no memory and are left out."""
    members = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/" + name + "/stat", "rb") as f:
                stat = f.read()
        except OSError:
            continue
        command = stat[stat.find(b"(") + 1:stat.rfind(b")")].decode("utf-8", "replace")
        fields = stat.rsplit(b")", 1)[1].split()
        if int(fields[3]) == session and fields[0] != b"Z":  # state, ppid, pgrp, session
            members[name] = command
    return members


def process_memory(pid):
    """(PSS, RSS, peak RSS) of one process in kB. PSS splits shared pages between the processes
    that share them; where it cannot be read, RSS stands in for it."""
    rss = pss = hwm = 0
    readable = False
    try:
        with open("/proc/" + pid + "/smaps_rollup") as f:
            for line in f:
                if line.startswith("Rss:"):
                    rss = int(line.split()[1])
                elif line.startswith("Pss:"):
                    pss = int(line.split()[1])
                    readable = True
    except OSError:
        pass
    try:
        with open("/proc/" + pid + "/status") as f:
            for line in f:
                if line.startswith("VmRSS:") and not readable:
                    rss = int(line.split()[1])
                elif line.startswith("VmHWM:"):
                    hwm = int(line.split()[1])
    except OSError:
        pass
    return (pss if readable else rss), rss, max(hwm, rss), readable


def stop_session(session):
    """Kills every process left in the session, one by one, until none is left."""
    for _ in range(100):
        members = session_members(session)
        if not members:
            return
        for pid in members:
            try:
                os.kill(int(pid), signal.SIGKILL)
            except OSError:
                pass
        time.sleep(0.05)


def run_sampled(command, timeout=None, max_kb=None, interval=0.02):
    """Runs COMMAND in a session of its own and samples every process of that session every
    `interval` seconds: the peak of the summed PSS, of the summed RSS (shared pages counted in
    each process) and of each process's own peak resident memory (the kernel's VmHWM, read while
    the process lives). Stops the whole session after `timeout` seconds or once the summed PSS
    passes `max_kb`. Processes still there a second after the command ended are named and
    stopped."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    chunks = []
    reader = threading.Thread(target=lambda: chunks.append(process.stdout.read()))
    reader.start()
    started = time.monotonic()
    peak_pss = peak_rss = peak_processes = 0
    all_pss = True
    peaks = {}  # pid: (name, peak kB)
    stopped = None
    while process.poll() is None:
        members = session_members(process.pid)
        pss_sum = rss_sum = 0
        for pid, name in members.items():
            pss, rss, hwm, readable = process_memory(pid)
            pss_sum += pss
            rss_sum += rss
            all_pss = all_pss and (readable or rss == 0)
            peaks[pid] = (name, max(hwm, peaks.get(pid, ("", 0))[1]))
        peak_pss = max(peak_pss, pss_sum)
        peak_rss = max(peak_rss, rss_sum)
        peak_processes = max(peak_processes, len(members))
        if timeout is not None and time.monotonic() - started > timeout:
            stopped = "timeout"
        elif max_kb is not None and pss_sum > max_kb:
            stopped = "memory"
        if stopped:
            stop_session(process.pid)
            break
        time.sleep(interval)
    process.wait()
    elapsed_ms = (time.monotonic() - started) * 1e3
    lingering = {}
    if not stopped:
        for _ in range(20):
            lingering = session_members(process.pid)
            if not lingering:
                break
            time.sleep(0.05)
        stop_session(process.pid)
    reader.join()
    output = b"".join(chunks)
    largest_pid = max(peaks, key=lambda pid: peaks[pid][1]) if peaks else None
    # The kernel's exact peak of the largest process among those waited for: a lower bound.
    waited_kb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return {
        "command": command[0],
        "exit_code": process.returncode,
        "stopped": stopped,
        "elapsed_ms": elapsed_ms,
        "pss_peak_kb": peak_pss,
        "pss_readable": all_pss,
        "rss_sum_peak_kb": peak_rss,
        "processes": peak_processes,
        "largest_process_kb": max(waited_kb, peaks[largest_pid][1] if largest_pid else 0),
        "largest_process_name": peaks[largest_pid][0] if largest_pid else "",
        "process_peaks_kb": sorted((kb for _, kb in peaks.values()), reverse=True)[:12],
        "lingering": sorted(set(lingering.values())),
    }, output


def probe_report(output):
    """The "key value" lines of quorvane-bench-probe."""
    report = {}
    for line in output.decode("utf-8", "replace").splitlines():
        key, _, value = line.partition(" ")
        report[key] = value
    return report


def peak_memory(out_json, command, timeout=None, keep_going=False):
    result, output = run_sampled(command, timeout=timeout)
    text = output.decode("utf-8", "replace")
    result["output"] = text if len(text) < 4096 else ""
    # For Chromium: whether the harness got as far as the page's text.
    result["gave_inner_text"] = RESULT.search(output) is not None
    report = probe_report(output)
    if "VmHWM_kB" in report:
        result["vmhwm_kb"] = int(report["VmHWM_kB"])
    for key in ("click_to_results_ms", "outcome", "wan_ip", "firewall_lines"):
        if key in report:
            result[key] = report[key]
    with open(out_json, "w") as f:
        json.dump(result, f, indent=1)
    if (result["exit_code"] != 0 or result["stopped"]) and not keep_going:
        sys.exit("failed: " + " ".join(command))


def chromium_page(page, harness, timeout, out_json, max_kb=None):
    """Chromium once on a page file: the whole command with a time limit, the time in the page
    when it got that far, and the memory of all its processes."""
    with tempfile.TemporaryDirectory(prefix="quorvane-chromium-") as profile:
        result, output = run_sampled(chromium_command(page, harness, profile), timeout=timeout,
                                     max_kb=max_kb)
    found = RESULT.search(output)
    result["timeout_s"] = timeout
    result["max_kb"] = max_kb
    result["gave_inner_text"] = found is not None and not result["stopped"]
    if found:
        result["load_ms"] = float(found.group(1))
        result["text_ms"] = float(found.group(2))
    with open(out_json, "w") as f:
        json.dump(result, f, indent=1)


def start_up(probes, runs=40):
    """Start-up of several builds of the probe, run in turns so that the machine's load falls on
    all alike: the time from just before each process is created to its window's first frame."""
    times = {probe: [] for probe in probes}
    for _ in range(runs):
        for probe in probes:
            started = time.monotonic_ns()
            done = subprocess.run([probe, "start-up"], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, check=True)
            shown = int(done.stdout.split()[1])
            times[probe].append((shown - started) / 1e6)
    for probe, ms in times.items():
        print("%-70s best %s, median %s of %d runs" % (probe, fmt_ms(min(ms)),
                                                       fmt_ms(statistics.median(ms)), len(ms)))


# --- the table ---------------------------------------------------------------------------------

UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def best_runs(bench_json):
    """The fastest repetition of each benchmark, in ms, with its counters, and the median of the
    repetitions (median_ms), on which targets are judged: a user waits the median."""
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
            best["transfer_median_ms"] = statistics.median(r["transfer_ms"] for r in reps)
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
                     ratio, ratio <= 1.5, large))
    return rows


def scaling(bench_json):
    _, runs = best_runs(bench_json)
    for what, ours, ratio, met, _ in scaling_rows(runs):
        print("%-75s %-40s %.2f %s" % (what, ours, ratio, "ok" if met else "OVER 1.5"))


def memory_text(mem):
    return "%s PSS summed over %d processes (largest process %s)" % (
        mib(mem["pss_peak_kb"]), mem["processes"], mib(mem["largest_process_kb"]))


def table(bench_json, chromium_json, grep_json, engine_mem_json, static_mem_json,
          chromium_mem_json):
    repetitions, runs = best_runs(bench_json)
    chromium = json.load(open(chromium_json))
    grep_loaded = json.load(open(grep_json))
    grep = grep_loaded["results"][0]
    cmem = json.load(open(chromium_mem_json))
    rows = []

    def row(what, ours, theirs, ratio, target, met, *loads):
        rows.append((what, ours, theirs, ratio, target, "yes" if met else "**no**" if met is
                     not None else "—", "; ".join(load_text(load) for load in loads)))

    # Body text of the 1 MiB page.
    text_run = find(runs, "BM_PageBytesToBodyText/bytes:1048576/style:0")
    text = text_run["median_ms"]
    same = "same text" if chromium["same_text"] else "**text differs**"
    for label, key, judged in (("whole command", "whole_median_ms", False),
                               ("in page: load + innerText", "load_and_text_median_ms", True),
                               ("in page: innerText call alone", "text_median_ms", False)):
        ratio = chromium[key] / text
        row("Body text, 1 MiB page — Chromium, local file in a frame, " + label, fmt_ms(text),
            fmt_ms(chromium[key]) + (" (" + same + ")" if judged else ""),
            "%.1f× faster" % ratio if ratio >= 1 else "%.2f× (slower)" % ratio,
            "≥ 5× faster (judged here)" if judged else "", ratio >= 5 if judged else None,
            text_run, chromium)

    # System log analysis of the 16 MiB log against grep -ci.
    analysis_run = find(runs, "BM_SystemLogAnalysis/bytes:16777216")
    analysis = analysis_run["median_ms"]
    grep_ms = grep["median"] * 1e3
    ratio = analysis / grep_ms
    row("System log analysis, 16 MiB log — `grep -ci` six markers", fmt_ms(analysis),
        fmt_ms(grep_ms), "%.1f× grep's time" % ratio, "≤ 3×", ratio <= 3, analysis_run,
        grep_loaded)

    # Click to results against curl: the page, what path it takes, warm or cold, and the target
    # as a function of curl's transfer (the click does not count the program's start either).
    pages = {
        "demo": "page with a style sheet (engine)",
        "static": "static page (page reader)",
        "script-file": "scripted page, log in a script file (engine)",
        "script-array": "scripted page, log in a script array (engine)",
    }
    targets = {
        "old": ("≤ 1.5 × curl + 20 ms", lambda curl: 1.5 * curl + 20),
        "warm": ("≤ curl + 60 ms", lambda curl: curl + 60),
        "cold": ("≤ curl + 400 ms", lambda curl: curl + 400),
    }
    clicks = (("demo", 65536, "warm", "old"), ("demo", 4194304, "warm", "old"),
              ("static", 65536, "warm", "warm"), ("static", 65536, "cold", "cold"),
              ("static", 4194304, "warm", "old"),
              ("script-file", 65536, "warm", "warm"), ("script-file", 65536, "cold", "cold"),
              ("script-array", 65536, "warm", "warm"), ("script-array", 65536, "cold", "cold"))
    for page, size, when, target in clicks:
        family = "BM_ClickToResults" if when == "warm" else "BM_ClickToResultsCold"
        click_run = find(runs, "%s/%s/bytes:%d/" % (family, page, size))
        click = click_run["median_ms"]
        curl = find(runs, "BM_CurlFetch/%s/bytes:%d/" % (page, size))
        whole, transfer = curl["median_ms"], curl["transfer_median_ms"]
        label, limit = targets[target]
        row("Click to results, %s %s, %s — curl (its transfer; whole command)" % (
                "64 KiB" if size == 65536 else "4 MiB", pages[page], when),
            fmt_ms(click), "%s; %s" % (fmt_ms(transfer), fmt_ms(whole)),
            "limit %s (%s on the whole command)" % (fmt_ms(limit(transfer)),
                                                    fmt_ms(limit(whole))),
            label + " (judged on the transfer)", click <= limit(transfer), click_run, curl)

    for what, ours, ratio, met, large in scaling_rows(runs):
        row(what, ours, "", "%.2f" % ratio, "≤ 1.5", met, large)

    start = find(runs, "BM_StartUpToWindowShown")
    row("Start-up: process start to the window's first frame; processes started by then; "
        "engine library mapped", "%s; %d; %d" % (
            fmt_ms(start["median_ms"]), start.get("child_processes", -1), start.get("engine_mapped", -1)),
        "", "", "no engine process with the window, nor its library",
        start.get("child_processes", -1) == 0 and start.get("engine_mapped", -1) == 0, start)

    for label, mem_json in (("page with a style sheet (engine)", engine_mem_json),
                            ("static page (page reader)", static_mem_json)):
        qmem = json.load(open(mem_json))
        if qmem.get("outcome") != "result":
            sys.exit("the memory run on the %s showed no findings: %s" % (
                label, qmem.get("outcome")))
        ratio = cmem["pss_peak_kb"] / qmem["pss_peak_kb"]
        row("Peak memory of all the program's processes, a whole run on a 4 MiB %s — Chromium "
            "loading it and taking innerText" % label, memory_text(qmem), memory_text(cmem),
            "%.1f× less" % ratio, "≤ ⅓ of Chromium's", ratio >= 3, qmem, cmem)

    print("| Measure | Quorvane | Alternative | Ratio | Target | Met | Load average (Quorvane; "
          "alternative) |")
    print("|---|---|---|---|---|---|---|")
    for r in rows:
        print("| " + " | ".join(r) + " |")
    print()
    print("Times are the medians of several runs, the same rule for every tool: Google Benchmark "
          "repetitions %s; Chromium %d runs after a warm-up; grep %d runs (hyperfine). %s." % (
              repetitions, chromium["runs"], len(grep["times"]),
              chromium["version"]))
    print()
    parts_table(runs)


def parts_table(runs):
    """Where a click's time goes: the page reader and the engine, each timed alone."""
    print("| Part of a click | Page | Time | Load average |")
    print("|---|---|---|---|")
    for name, run in runs.items():
        found = re.match(r"BM_(PageReader|EngineRender)/([a-z-]+)/bytes:(\d+)/", name)
        if not found:
            continue
        part, page, size = found.groups()
        what = ("page reader: process started, page in, text out" if part == "PageReader" else
                "engine through its helper: page to the helper, its requests answered, text back "
                "(warm helper)")
        print("| %s | %s, %s | %s | %s |" % (
            what, page, "64 KiB" if int(size) == 65536 else "4 MiB", fmt_ms(run["ms"]),
            load_text(run)))


def load_text(result):
    """The load average a result was measured under, from a benchmark's counter or a JSON of
    ours (note-load)."""
    load = result.get("load_avg_1m") if result else None
    return "%.2f" % load if isinstance(load, (int, float)) else "—"


def load_average():
    """The machine's load average over the last minute."""
    return os.getloadavg()[0]


def note_load(path):
    with open(path) as f:
        data = json.load(f)
    data["load_avg_1m"] = load_average()
    with open(path, "w") as f:
        json.dump(data, f, indent=1)


# --- the hostile pages ----------------------------------------------------------------------------

HOSTILE = ("div", "ul-li", "b-id", "attributes", "long-attribute", "a-div", "div-p", "p-b-id")
DEADLINE_S = 60
PROCESS_LIMIT_KB = 1 << 20  # 1 GiB
# The deadline's timer fires at 60.0 s; the failure reaches the window a moment later.
DEADLINE_GRACE_S = 0.5


def seconds(ms):
    return "%.2f s" % (ms / 1e3) if ms < 10000 else "%.1f s" % (ms / 1e3)


def size_bytes(label):
    """Bytes of a size as the demo router takes it: 4096, 64K or 4M."""
    shift = {"K": 10, "k": 10, "M": 20}.get(label[-1:], 0)
    return int(label[:-1] if shift else label) << shift


def size_text(label):
    size = size_bytes(label)
    if size % (1 << 20) == 0:
        return "%d MiB" % (size >> 20)
    return "%.2f MiB" % (size / (1 << 20)) if size >= 1 << 20 else "%.0f KiB" % (size / 1024)


def hostile_table(directory):
    """One row per page: our press to the end, how it ended and the memory of all our
    processes, beside Chromium's time and memory on the same page."""
    print("| Page | Size | Quorvane: press to end | Outcome | Quorvane: peak memory, all "
          "processes | Chromium: load + innerText (whole command) | Chromium: peak memory | "
          "Within the bounds | Load average (Quorvane; Chromium) |")
    print("|---|---|---|---|---|---|---|---|---|")
    sizes = sorted({name.split(".")[0].rsplit("-", 1)[1] for name in os.listdir(directory)
                    if name.startswith("hostile-")}, key=size_bytes)
    for size in sizes:
        for construct in HOSTILE:
            base = os.path.join(directory, "hostile-%s-%s" % (construct, size))
            if not os.path.exists(base + ".quorvane.json"):
                continue
            ours = json.load(open(base + ".quorvane.json"))
            theirs = json.load(open(base + ".chromium.json")) \
                if os.path.exists(base + ".chromium.json") else None
            outcome = ours.get("outcome", "")
            if ours["stopped"]:
                time_text, outcome = "> %s" % seconds(ours["elapsed_ms"]), "no end"
                in_time = False
            else:
                ms = float(ours.get("click_to_results_ms", "-1"))
                time_text = seconds(ms) if ms >= 0 else "—"
                in_time = 0 <= ms <= (DEADLINE_S + DEADLINE_GRACE_S) * 1e3
                if outcome == "result":
                    outcome = "findings shown"
                elif outcome.startswith("failure "):
                    outcome = outcome[len("failure "):].replace(
                        "The router's log could not be read. ", "")
            if ours.get("lingering"):
                outcome += " (still running after the program: %s)" % ", ".join(
                    ours["lingering"])
            in_memory = ours["largest_process_kb"] <= PROCESS_LIMIT_KB
            memory = memory_text(ours)
            if theirs is None:
                chromium_time = chromium_memory = "not run"
            elif theirs["stopped"] == "timeout":
                chromium_time = "> %d s" % theirs["timeout_s"]
                chromium_memory = "%s when stopped" % mib(theirs["pss_peak_kb"])
            elif theirs["stopped"] == "memory":
                chromium_time = "stopped at %s after %s" % (mib(theirs["max_kb"]),
                                                            seconds(theirs["elapsed_ms"]))
                chromium_memory = "> %s" % mib(theirs["max_kb"])
            elif theirs["gave_inner_text"]:
                chromium_time = "%s (%s)" % (seconds(theirs["load_ms"] + theirs["text_ms"]),
                                             seconds(theirs["elapsed_ms"]))
                chromium_memory = memory_text(theirs)
            else:
                chromium_time = "no text, exit %d after %s" % (theirs["exit_code"],
                                                               seconds(theirs["elapsed_ms"]))
                chromium_memory = memory_text(theirs)
            met = in_time and in_memory and not ours.get("lingering")
            print("| %s | %s | %s | %s | %s | %s | %s | %s | %s; %s |" % (
                "hostile-" + construct, size_text(size), time_text, outcome, memory,
                chromium_time, chromium_memory, "yes" if met else "**no**", load_text(ours),
                load_text(theirs)))
    print()
    print("Bounds: the press ends within %d s (%.1f s allowed for the failure to reach the "
          "window after the deadline) and no process of the program exceeds 1 GiB at its "
          "peak; one run per row." % (DEADLINE_S, DEADLINE_GRACE_S))


def main(argv):
    if len(argv) == 7 and argv[1] == "chromium-text":
        chromium_text(argv[2], argv[3], int(argv[4]), argv[5], argv[6])
    elif len(argv) >= 5 and argv[1] == "peak-memory" and "--" in argv:
        split = argv.index("--")
        options = argv[3:split]
        timeout = None
        if "--timeout" in options:
            timeout = float(options[options.index("--timeout") + 1])
        peak_memory(argv[2], argv[split + 1:], timeout, "--keep-going" in options)
    elif len(argv) in (6, 7) and argv[1] == "chromium-page":
        chromium_page(argv[2], argv[3], float(argv[4]), argv[5],
                      int(argv[6]) * 1024 if len(argv) == 7 else None)
    elif len(argv) >= 3 and argv[1] == "start-up":
        start_up(argv[2:])
    elif len(argv) == 3 and argv[1] == "scaling":
        scaling(argv[2])
    elif len(argv) == 8 and argv[1] == "table":
        table(*argv[2:])
    elif len(argv) == 3 and argv[1] == "hostile-table":
        hostile_table(argv[2])
    elif len(argv) == 3 and argv[1] == "note-load":
        note_load(argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
