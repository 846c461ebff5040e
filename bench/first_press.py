#!/usr/bin/env python3
"""The first press of a program just started, with and without the user's typing before it.

  first_press.py BUILD RUNS PAGE[,PAGE...]

For each page, the demo router serves its 64 KiB log and the probe (BUILD/bench/
quorvane-bench-probe) starts like the program RUNS times for each of two presses, in turns: at
once, before the program has anything ready, and after 2 s of typing, as a user does; the latter
goes on with WARM_PRESSES presses, the warm press of the same program and router. Prints the
median and best of each beside the load average.
"""
import os
import statistics
import subprocess
import sys

import before_after as ba

WARM_PRESSES = 5  # after the typed first press, in the same program: its own warm reference
STYLES = {"demo": [], "static": ["--plain-markup"], "script-file": ["--style", "script-file"],
          "script-array": ["--style", "script-array"], "textarea": ["--style", "textarea"],
          "table": ["--style", "table"], "many-resources": ["--style", "many-resources"]}


def press(build, host, port, typing_ms, presses=0):
    """The first press's time, and the median of the later ones when there are any."""
    done = subprocess.run([ba.program(build, "quorvane-bench-probe"), "fetch", host, port, "demo",
                           str(typing_ms), str(presses)], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True)
    report = dict(line.split(" ", 1) for line in done.stdout.splitlines() if " " in line)
    if report.get("outcome") != "result":
        sys.exit("the press did not show the findings: %s" % report.get("outcome"))
    return float(report["click_to_results_ms"]), float(report.get("warm_press_median_ms", "nan"))


def main():
    build, runs, pages = sys.argv[1], int(sys.argv[2]), sys.argv[3].split(",")
    router = os.path.join(build, "tools/router-sim/quorvane-router-sim")
    lines = subprocess.run([ba.program(build, "quorvane-bench-data"), "firewall-lines", "65536"],
                           stdout=subprocess.PIPE, text=True, check=True).stdout.strip()
    for page in pages:
        process = subprocess.Popen([router, "--password", "demo", "--firewall-lines", lines,
                                    *STYLES[page]], stdout=subprocess.PIPE, text=True,
                                   start_new_session=True)
        host, port = process.stdout.readline().split()[3:5]
        at_once, typed, warm = [], [], []
        try:
            for _ in range(runs):
                at_once.append(press(build, host, port, 0)[0])
                first, later = press(build, host, port, 2000, WARM_PRESSES + 1)
                typed.append(first)
                warm.append(later)
        finally:
            ba.stop_session(process.pid)
            process.wait()
        print("%s: at once %.0f ms (%.0f ms), after 2 s of typing %.1f ms (%.1f ms), warm in the "
              "same program %.1f ms (%.1f ms), first ÷ warm %.2f, load %.2f"
              % (page, statistics.median(at_once), min(at_once), statistics.median(typed),
                 min(typed), statistics.median(warm), min(warm),
                 statistics.median(typed) / statistics.median(warm), os.getloadavg()[0]),
              flush=True)


if __name__ == "__main__":
    main()
