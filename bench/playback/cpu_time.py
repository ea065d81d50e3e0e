#!/usr/bin/env python3
"""Runs a command (its output discarded) and prints its CPU seconds (user + system, its
children included) and its wall seconds. Exits with the command's status."""
import os
import subprocess
import sys
import time


def main():
    start = time.perf_counter()
    before = os.times()
    done = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = os.times()
    wall = time.perf_counter() - start
    cpu = (after.children_user - before.children_user) + (
        after.children_system - before.children_system)
    print(f"{cpu:.3f} {wall:.3f}")
    sys.exit(done.returncode)


main()
