#!/usr/bin/env python3
"""Runs a command (its output discarded) --runs times, default once, and prints the best wall
seconds, the CPU seconds (user + system, children included) of that run, and the peak RSS in
MB over all runs. Exits with the status of the last run that failed, else 0.
Usage: measure.py [--runs N] COMMAND [ARG...]"""
import os
import resource
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    runs = 1
    if args[:1] == ["--runs"]:
        runs, args = int(args[1]), args[2:]
    best = None
    status = 0
    for _ in range(runs):
        before = os.times()
        start = time.perf_counter()
        done = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        after = os.times()
        cpu = (after.children_user - before.children_user) + (
            after.children_system - before.children_system)
        status = done.returncode or status
        if best is None or wall < best[0]:
            best = (wall, cpu)
    peak_mb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
    print(f"{best[0]:.4f} {best[1]:.3f} {peak_mb}")
    sys.exit(status)


main()
