#!/usr/bin/env python3
"""A playback started at a time, against the whole playback: for each file of a corpus and
positions at its quarters, `tez dump --from T` must send every message of the file due at or
after T at (due - T) ms, and nothing of the file before it. Prints how many positions agree.
Usage: differential.py TEZ CORPUS_DIR"""
import pathlib
import subprocess
import sys


def dump(tez, path, *args):
    out = subprocess.run([tez, "dump", str(path), "--lines", *args], capture_output=True,
                         text=True, timeout=60)
    if out.returncode != 0:
        return None
    sent = []
    for line in out.stdout.splitlines():
        if line.startswith("#") or "# track" not in line:
            continue  # the header, the end, and the player's own messages
        head, source = line.split(" # ")
        callback, *data = head.split()
        sent.append((int(callback), " ".join(data), source))
    return sent


def heard(sent, start):
    """The messages from `start` on, counted from there, without the note-offs of notes
    begun before it."""
    sounding, out = {}, []
    for callback, data, source in sent:
        if callback < start:
            continue
        parts = data.split()
        if len(parts) == 3 and parts[0][0] in "89":
            key = (parts[0][1], parts[1])
            on = parts[0][0] == "9" and parts[2] != "00"
            if not on and sounding.get(key, 0) == 0:
                continue
            sounding[key] = sounding.get(key, 0) + (1 if on else -1)
        out.append((callback - start, data, source))
    return out


def main():
    tez, corpus = sys.argv[1], pathlib.Path(sys.argv[2])
    positions = agree = 0
    for path in sorted(corpus.glob("*.mid")):
        whole = dump(tez, path)
        if not whole:
            continue
        last = whole[-1][0]
        for quarter in (1, 2, 3):
            start = last * quarter // 4
            if start == 0:
                continue
            part = dump(tez, path, "--from", f"{start / 1000:.3f}")
            if part is None:
                continue
            positions += 1
            agree += heard(part, 0) == heard(whole, start)
    print(f"positions in time over {corpus.name}: {agree} of {positions} play as the whole "
          f"playback from there")


main()
