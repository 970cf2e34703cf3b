#!/usr/bin/env python3
"""Runs named commands in turn, RUNS times each after three warm-up rounds, and prints for each
the medians of wall time, CPU time (user + system) and minor page faults, and its peak resident
memory; then the ratios to the command named "floor". Running them in turn, rather than one
after the other, spreads a shared machine's load over all of them alike.

usage: measure.py RUNS NAME COMMAND [NAME COMMAND ...]
A command is split like a shell would split it (no expansions); "%20" in an argument stands for
a space. Ratio lines are printed for the names that start with "dump" or "before"."""

import os
import shlex
import statistics
import subprocess
import sys
import time


def once(argv, devnull):
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=devnull, stderr=devnull)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    return status, (wall * 1000, (usage.ru_utime + usage.ru_stime) * 1000, usage.ru_minflt,
                    usage.ru_maxrss)


def main():
    runs = int(sys.argv[1])
    pairs = [(name, [a.replace("%20", " ") for a in shlex.split(command)])
             for name, command in zip(sys.argv[2::2], sys.argv[3::2])]
    samples = {name: [] for name, _ in pairs}
    devnull = os.open(os.devnull, os.O_WRONLY)
    for round_ in range(runs + 3):
        for name, argv in pairs:
            status, sample = once(argv, devnull)
            if status != 0 and not name.startswith("find"):
                sys.exit(f"{name} failed with status {status}: {' '.join(argv)}")
            if round_ >= 3:
                samples[name].append(sample)

    def med(name, i):
        return statistics.median(s[i] for s in samples[name])

    print(f"\n== medians of {runs} runs: wall ms, CPU ms, minor faults; peak memory MiB")
    for name, _ in pairs:
        peak = max(s[3] for s in samples[name]) / 1024
        print(f"   {name:14} {med(name, 0):9.2f} {med(name, 1):9.2f} {med(name, 2):9.0f}"
              f" {peak:8.1f}")
    if "floor" not in samples:
        return
    print("\n== over the floor (targets for the recent corpus: wall 1.5, CPU 2, faults 3)")
    for name, _ in pairs:
        if name.startswith("dump") or name.startswith("before"):
            w, c, m = (med(name, k) / med("floor", k) for k in range(3))
            print(f"   {name:14} wall {w:5.2f} x   CPU {c:5.2f} x   minor faults {m:6.2f} x")


if __name__ == "__main__":
    main()
