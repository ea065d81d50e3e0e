#!/usr/bin/env python3
"""Records what a PulseAudio source hears while a command plays a click track, and measures
the clicks' timing.

  click_timing.py SOURCE INTERVAL_MS CLICKS -- COMMAND [ARG...]

Starts `parecord --raw` on SOURCE (48 kHz, stereo, s16le), waits for its stream, runs
COMMAND, and prints one line:
  onsets N missing M p95 P max X mean_interval I latency L p75 Q
P, X and Q: the 95th percentile, the largest and the 75th percentile of
|interval - INTERVAL_MS| between successive onsets (the first one included), in ms. L: ms from
the first click's due time, counted from Play, to its onset in the recording, when the command
wrote a trace (TRACE=path in the environment) naming when Play was called (or else its first
callback); else from the command's start. Exits 1 when no onset was found.
"""
import os
import subprocess
import sys
import threading
import time

RATE = 48000
FRAME_BYTES = 4


def record(source):
    proc = subprocess.Popen(
        ["parecord", "--raw", "-d", source, "--rate=48000", "--channels=2", "--format=s16le",
         "--latency-msec=5"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    chunks, arrivals = [], []  # arrivals: (monotonic seconds, frames received before then)

    def reader():
        received = 0
        while True:
            data = proc.stdout.read1(65536)
            if not data:
                return
            chunks.append(data)
            received += len(data)
            arrivals.append((time.monotonic(), received // FRAME_BYTES))

    thread = threading.Thread(target=reader, daemon=True)
    thread.start()
    return proc, thread, chunks, arrivals


def left_channel(raw):
    import array
    samples = array.array("h")
    samples.frombytes(raw[: len(raw) // FRAME_BYTES * FRAME_BYTES])
    return samples[0::2]


def onsets(samples, clicks):
    """Sample indices where the sound first rises above half a typical click's peak (the
    median of the loudest `clicks` 50 ms windows, so a stray pop sets no threshold), each at
    least 60 ms after the one before: a click's own echoes stay below or inside that."""
    window = RATE * 50 // 1000
    peaks = sorted((max(abs(s) for s in samples[i:i + window])
                    for i in range(0, len(samples) - window, window)), reverse=True)
    if not peaks or peaks[0] == 0:
        return []
    threshold = peaks[min(len(peaks) - 1, clicks // 2)] / 2
    hold = RATE * 60 // 1000
    found = []
    for i, s in enumerate(samples):
        if abs(s) > threshold and (not found or i - found[-1] >= hold):
            found.append(i)
    return found


def frame_time(arrivals, frame):
    """When a frame reached the recorder: the earliest arrival line through the chunks of
    the second after it (the sound card's clock and the monotonic one drift apart over a
    long recording)."""
    near = [(t, n) for t, n in arrivals if frame <= n <= frame + RATE] or arrivals
    offset = min(t - n / RATE for t, n in near)
    return offset + frame / RATE


def first_due(trace):
    """The monotonic time the first note-on was due in a `tez play` trace: its callback's
    number of milliseconds after Play (or after the first callback, in an older trace)."""
    first_at, first_note = None, None
    with open(trace) as f:
        for line in f:
            if line.startswith("# play called at"):
                first_at = int(line.split()[4]) / 1e9
            elif line.startswith("# first callback at") and first_at is None:
                first_at = int(line.split()[4]) / 1e9
            elif first_note is None and not line.startswith("#"):
                parts = line.split()
                if len(parts) >= 5 and parts[2].startswith("9") and parts[4] != "00":
                    first_note = int(parts[0])
    if first_at is None or first_note is None:
        return None
    return first_at + first_note / 1000


def main():
    split = sys.argv.index("--")
    source, interval_ms, clicks = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
    command = sys.argv[split + 1:]
    proc, thread, chunks, arrivals = record(source)
    deadline = time.monotonic() + 10
    while not arrivals and time.monotonic() < deadline:
        time.sleep(0.01)
    time.sleep(0.3)
    started = time.monotonic()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    time.sleep(0.5)
    proc.terminate()
    thread.join(5)
    raw = b"".join(chunks)
    if os.environ.get("KEEP_RAW"):
        with open(os.environ["KEEP_RAW"], "wb") as f:
            f.write(raw)
    found = onsets(left_channel(raw), clicks)
    if not found:
        print("onsets 0 missing %d" % clicks)
        sys.exit(1)
    if os.environ.get("SHOW_INTERVALS"):
        print(" ".join("%.2f" % ((b - a) * 1000 / RATE) for a, b in zip(found, found[1:])))
    intervals = [(b - a) * 1000 / RATE for a, b in zip(found, found[1:])]
    deviations = sorted(abs(i - interval_ms) for i in intervals) or [0.0]
    def percentile(fraction):
        return deviations[min(len(deviations) - 1, int(fraction * len(deviations)))]

    p95 = percentile(0.95)
    trace = os.environ.get("TRACE")
    due = first_due(trace) if trace and os.path.exists(trace) else None
    latency = (frame_time(arrivals, found[0]) - (due if due else started)) * 1000
    mean = sum(intervals) / len(intervals) if intervals else 0
    print("onsets %d missing %d p95 %.3f max %.3f mean_interval %.3f latency %.1f p75 %.3f" %
          (len(found), max(0, clicks - len(found)), p95, deviations[-1], mean, latency,
           percentile(0.75)))


main()
