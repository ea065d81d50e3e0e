#!/usr/bin/env python3
"""Writes a Standard MIDI File for the playback benchmarks.

  make_smf.py sparse SECONDS OUT   one quiet short note every 2 s for SECONDS (format 0):
                                   the timer runs on with almost nothing to send
  make_smf.py dense SECONDS OUT    16 channels, 16 tracks, about 380 notes a second (format 1)
"""
import random
import struct
import sys

DIVISION = 480          # ticks per quarter note
TEMPO_US = 500000       # 120 bpm: 960 ticks a second
TICKS_PER_SECOND = DIVISION * 1_000_000 // TEMPO_US


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def track_chunk(events):
    """events: (tick, bytes) in any order; sorted, delta-timed and closed by End of Track."""
    body = bytearray()
    now = 0
    for tick, data in sorted(events, key=lambda e: e[0]):
        body += var_len(tick - now) + data
        now = tick
    body += var_len(0) + b"\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


def tempo_event():
    return (0, b"\xFF\x51\x03" + TEMPO_US.to_bytes(3, "big"))


def sparse(seconds):
    events = [tempo_event()]
    for second in range(0, seconds, 2):
        on = second * TICKS_PER_SECOND
        events.append((on, bytes([0x90, 60, 1])))
        events.append((on + TICKS_PER_SECOND // 10, bytes([0x80, 60, 0])))
    # A last silent tick keeps the playback running to the full length.
    events.append((seconds * TICKS_PER_SECOND, bytes([0x80, 60, 0])))
    return 0, [track_chunk(events)]


def dense(seconds):
    rng = random.Random(1)
    notes_per_second_per_channel = 380 / 16
    tracks = [track_chunk([tempo_event()])]
    for channel in range(16):
        events = [(0, bytes([0xC0 | channel, (channel * 8) % 128]))]
        count = int(seconds * notes_per_second_per_channel)
        for i in range(count):
            on = int((i + rng.random() * 0.5) / notes_per_second_per_channel * TICKS_PER_SECOND)
            length = rng.randint(TICKS_PER_SECOND // 20, TICKS_PER_SECOND // 3)
            key = rng.randint(36, 96) if channel != 9 else rng.randint(35, 81)
            events.append((on, bytes([0x90 | channel, key, rng.randint(40, 120)])))
            events.append((on + length, bytes([0x80 | channel, key, 0])))
        tracks.append(track_chunk(events))
    return 1, tracks


def main():
    kind, seconds, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    fmt, tracks = {"sparse": sparse, "dense": dense}[kind](seconds)
    header = b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), DIVISION)
    with open(out, "wb") as f:
        f.write(header + b"".join(tracks))


if __name__ == "__main__":
    main()
