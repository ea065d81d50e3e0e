#!/usr/bin/env python3
"""The player's clock against the tempo map: for generated files with tempo maps (the import
bench's generator), each message's callback in `tez dump` against the exact time of its tick.
A message is due in the first callback that reaches its exact time, so it is sent up to 1 ms
after it; anything beyond is the clock drifting from the map.

  tempo_map_clock.py TEZ [COUNT]
"""
import math
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "import"))
import round_trip  # noqa: E402


def main():
    tez, count = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 100
    work = os.environ.get("TMPDIR", "/tmp")
    path = os.path.join(work, f"tempo_map_clock_{os.getpid()}.mid")
    files = events = beyond = 0
    earliest, latest = math.inf, -math.inf
    try:
        for seed in range(count):
            data, exact = round_trip.generated(seed)
            if b"\xFF\x51" not in data:
                continue
            with open(path, "wb") as f:
                f.write(data)
            files += 1
            out = subprocess.run([tez, "dump", "--lines", path], capture_output=True, check=True)
            for line in out.stdout.decode().splitlines():
                sent, _, source = line.partition(" # ")
                if line.startswith("#") or not source:
                    continue
                due = exact(int(source.split()[-1]))
                late = int(sent.split()[0]) - due
                events += 1
                earliest, latest = min(earliest, late), max(latest, late)
                beyond += not -1e-6 <= late <= 1 + 1e-6
    finally:
        if os.path.exists(path):
            os.remove(path)
    print(f"player clock against the tempo map: {files} files, {events} messages, "
          f"{beyond} sent outside [due, due + 1 ms]; from {earliest:+.3f} to {latest:+.3f} ms")


if __name__ == "__main__":
    main()
