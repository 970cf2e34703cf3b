#!/usr/bin/env python3
"""Runs named commands in turn, RUNS times each after three warm-up rounds, and prints for each
the medians of wall time, CPU time (user + system) and minor page faults; then the ratios to the
command named "floor". Running them in turn, rather than one after the other, spreads a shared
machine's load over all of them alike.

usage: measure.py RUNS NAME COMMAND [NAME COMMAND ...]
A command is split like a shell would split it (no expansions); leading VAR=value words set its
environment, and "%20" in an argument stands for a space. Ratio lines are printed for the names
that start with "dump", "before" or "noqt". (Peak memory is not measured here: a child started from
Python counts Python's own pages in its peak. GNU time's %M does it right.)"""

import os
import shlex
import statistics
import subprocess
import sys
import time


def once(command, devnull):
    environment, argv = command
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=devnull, stderr=devnull, env=environment)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    return status, (wall * 1000, (usage.ru_utime + usage.ru_stime) * 1000, usage.ru_minflt)


def parsed(command):
    words = [w.replace("%20", " ") for w in shlex.split(command)]
    environment = dict(os.environ)
    while words and "=" in words[0] and not words[0].startswith("/"):
        name, value = words.pop(0).split("=", 1)
        environment[name] = value
    return environment, words


def main():
    runs = int(sys.argv[1])
    pairs = [(name, parsed(command)) for name, command in zip(sys.argv[2::2], sys.argv[3::2])]
    samples = {name: [] for name, _ in pairs}
    devnull = os.open(os.devnull, os.O_WRONLY)
    for round_ in range(runs + 3):
        for name, command in pairs:
            status, sample = once(command, devnull)
            if status != 0 and not name.startswith("find"):
                sys.exit(f"{name} failed with status {status}: {' '.join(command[1])}")
            if round_ >= 3:
                samples[name].append(sample)

    def med(name, i):
        return statistics.median(s[i] for s in samples[name])

    print(f"\n== medians of {runs} runs: wall ms, CPU ms, minor faults")
    for name, _ in pairs:
        print(f"   {name:16} {med(name, 0):9.2f} {med(name, 1):9.2f} {med(name, 2):9.0f}")
    if "floor" not in samples:
        return
    print("\n== over the floor (targets on the heavy home: wall 1.2, CPU 1.5, faults 3)")
    for name, _ in pairs:
        if name.startswith(("dump", "before", "noqt")):
            w, c, m = (med(name, k) / med("floor", k) for k in range(3))
            print(f"   {name:16} wall {w:5.2f} x   CPU {c:5.2f} x   minor faults {m:6.2f} x")


if __name__ == "__main__":
    main()
