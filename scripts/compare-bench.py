#!/usr/bin/env python3
"""Times two builds' benchmarks in one run and prints a table of medians.

    scripts/compare-bench.py OLD_DIR NEW_DIR [--rounds N] [--min-time S] [BENCH...]

OLD_DIR and NEW_DIR hold the bench_* executables of the two builds (for
example a copy of build/ from before a change, and build/). Each round runs
every benchmark of both builds back to back, alternating which goes first,
so a change in the machine's load falls on both alike. The table gives the
median real time of each benchmark over the rounds, the ratio new/old, and
marks ratios above 1.05.
"""
import argparse
import json
import os
import platform
import statistics
import subprocess
import sys

# Benchmarks of the windows need a display; the rest run anywhere.
DEFAULT = ["bench_processing", "bench_calibration", "bench_colour", "bench_display",
           "bench_camera", "bench_sequencer", "bench_telescope", "bench_guiding"]


def run(exe, min_time):
    out = subprocess.run([exe, "--benchmark_format=json", f"--benchmark_min_time={min_time}"],
                         check=True, capture_output=True, text=True).stdout
    data = json.loads(out)
    unit = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    times = {}
    for b in data["benchmarks"]:
        # A benchmark that repeats itself reports only its aggregates: take
        # its median.
        if b.get("run_type", "iteration") == "iteration":
            times[b["name"]] = b["real_time"] * unit[b["time_unit"]]
        elif b.get("aggregate_name") == "median":
            times[b["run_name"]] = b["real_time"] * unit[b["time_unit"]]
    return times


def cpu_name():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("old")
    p.add_argument("new")
    p.add_argument("bench", nargs="*")
    p.add_argument("--rounds", type=int, default=5)
    p.add_argument("--min-time", default="0.2")
    a = p.parse_args()
    names = a.bench or DEFAULT
    times = {}  # (bench, test) -> {"old": [...], "new": [...]}
    for r in range(a.rounds):
        for name in names:
            order = [("old", a.old), ("new", a.new)]
            if r % 2:
                order.reverse()
            for label, folder in order:
                exe = os.path.join(folder, name)
                if not os.path.exists(exe):
                    continue
                for test, us in run(exe, a.min_time).items():
                    times.setdefault((name, test), {"old": [], "new": []})[label].append(us)
    print(f"Processor: {cpu_name()}, {os.cpu_count()} logical cores; {a.rounds} rounds, medians")
    print(f"{'benchmark':60s} {'old µs':>10s} {'new µs':>10s} {'new/old':>8s}")
    worst = 0.0
    for (name, test), t in sorted(times.items()):
        if not t["old"] or not t["new"]:
            continue
        o, n = statistics.median(t["old"]), statistics.median(t["new"])
        ratio = n / o if o else 1.0
        worst = max(worst, ratio)
        flag = "  slower" if ratio > 1.05 else ""
        print(f"{name + ':' + test:60s} {o:10.1f} {n:10.1f} {ratio:8.3f}{flag}")
    print(f"worst ratio: {worst:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
