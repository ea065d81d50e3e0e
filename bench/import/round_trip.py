#!/usr/bin/env python3
"""Round trip of `tez import`: what `tez dump` shows of `tez convert` of the import against what
it shows of the source, note-ons and note-offs paired per channel and key, each within 2 ms
(after the score's one-beat start), velocities and channels equal, pedal changes within 2 ms;
and `tez import` of `tez convert` of a score against the score's records.

  round_trip.py TEZ generate DIR COUNT   writes COUNT varied MIDI files into DIR
  round_trip.py TEZ exact COUNT          COUNT generated files against their exact times
  round_trip.py TEZ midi FILE...         round trip of MIDI files; prints the counts
  round_trip.py TEZ scores FILE...       import(convert(score)) against each score's records
  round_trip.py TEZ big NOTES OUT        one file of NOTES notes on 16 channels

Exits 1 when any event of a file that reported nothing lost fails, or a score differs.
"""
import json
import os
import random
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "playback"))
from make_smf import var_len  # noqa: E402

START_MS = 480  # the written score's one-beat start
TOLERANCE_MS = 2
# What the report says when the notes themselves could not all be kept as they were sent.
UNPAIRED = ("overlap-order", "stray-note-off", "unended-note", "cut-short")




def track_chunk(events):
    """events: (tick, order, bytes); sorted, delta-timed and closed by End of Track."""
    body = bytearray()
    now = 0
    for tick, _, data in sorted(events, key=lambda e: (e[0], e[1])):
        body += var_len(tick - now) + data
        now = tick
    body += b"\x00\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


def smf(fmt, division_word, tracks):
    header = struct.pack(">HHH", fmt, len(tracks), division_word)
    return b"MThd" + struct.pack(">I", 6) + header + b"".join(track_chunk(t) for t in tracks)


def generated(seed):
    """A file with the features an importer gets wrong: tempo maps, chords, pedal, same-key
    overlaps and zero-length notes, several channels in one track, time-code divisions."""
    rng = random.Random(seed)
    smpte = seed % 7 == 3
    tempos = []
    if smpte:
        fps, per_frame = rng.choice([(24, 40), (25, 40), (30, 80), (29, 4)])
        division_word = ((256 - fps) << 8) | per_frame
        quarter = fps * per_frame // 2  # ticks of about half a second
        ticks_per_ms = (29.97 if fps == 29 else fps) * per_frame / 1000
    else:
        quarter = rng.choice([24, 48, 96, 120, 192, 384, 480, 960])
        division_word = quarter
    fmt = 0 if seed % 2 == 0 else 1
    track_count = 1 if fmt == 0 else rng.randint(2, 4)
    tracks = [[] for _ in range(track_count)]
    order = 0
    if not smpte and seed % 3 != 0:
        tick = 0
        for _ in range(rng.randint(1, 6)):
            tempo = rng.randint(250_000, 1_200_000)
            tracks[0].append((tick, order, b"\xFF\x51\x03" + tempo.to_bytes(3, "big")))
            tempos.append((tick, tempo))
            order += 1
            tick += rng.randint(1, 8) * quarter
    tick = 0
    for _ in range(rng.randint(40, 120)):
        tick += rng.choice([0, 1, quarter // 4, quarter // 3, quarter // 2, quarter]) or 1
        track = rng.randrange(track_count)
        channel = rng.randrange(16)
        chord = rng.choice([1, 1, 2, 3, 6])
        root = rng.randint(30, 90)
        for k in range(chord):
            key = root + 4 * k if rng.random() > 0.2 else root  # same key again: overlaps
            length = rng.choice([0, 1, quarter // 8, quarter // 2, quarter, 3 * quarter])
            velocity = rng.randint(1, 127)
            off = bytes([0x80 | channel, key, 0]) if rng.random() < 0.7 else \
                bytes([0x90 | channel, key, 0])
            tracks[track].append((tick, order, bytes([0x90 | channel, key, velocity])))
            tracks[track].append((tick + length, order + 1, off))
            order += 2
        if rng.random() < 0.15:
            value = rng.choice([0, 127])
            tracks[track].append((tick, order, bytes([0xB0 | channel, 64, value])))
            order += 1
    if smpte:
        return smf(fmt, division_word, tracks), lambda t: t / ticks_per_ms
    return smf(fmt, division_word, tracks), lambda t: tempo_map_ms(t, quarter, tempos)


def tempo_map_ms(tick, division, tempos, start_tempo=500_000):
    """The exact time of a tick under a tempo map, in milliseconds."""
    ms, at, tempo = 0.0, 0, start_tempo
    for change, new in tempos:
        if change >= tick:
            break
        ms += (change - at) * tempo / division / 1000
        at, tempo = change, new
    return ms + (tick - at) * tempo / division / 1000


def big(notes):
    """NOTES notes on 16 channels in one track, chords of four every 60 ticks."""
    body = bytearray(b"\x00\xFF\x51\x03\x07\xA1\x20")
    for chord in range(notes // 4):
        channel = chord % 16
        keys = [40 + (chord * 7 + 4 * k) % 48 for k in range(4)]
        for k, key in enumerate(keys):
            body += var_len(0 if k else 60) + bytes([0x90 | channel, key, 80])
        for k, key in enumerate(keys):
            body += var_len(0 if k else 50) + bytes([0x80 | channel, key, 0])
    body += b"\x00\xFF\x2F\x00"
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) + b"MTrk" +
            struct.pack(">I", len(body)) + bytes(body))


def run(tez, *args):
    return subprocess.run([tez, *args], capture_output=True)


def dump(tez, path, clock=None):
    """(ms, bytes) of every message a playback sends; with `clock`, the exact time of its tick
    in the file instead of the callback it was sent in."""
    done = run(tez, "dump", "--lines", path)
    messages = []
    for line in done.stdout.decode().splitlines():
        if line.startswith("#"):
            continue
        sent, _, source = line.partition(" # ")
        fields = sent.split()
        ms = int(fields[0])
        if clock is not None and source:
            ms = clock(int(source.split()[-1]))
        messages.append((ms, [int(b, 16) for b in fields[1:]]))
    return messages


def streams(messages, shift):
    """Per channel and key, the notes' ons and offs in order; per channel, the pedal's changes."""
    notes, pedals = {}, {}
    for ms, data in messages:
        kind, channel = data[0] & 0xF0, data[0] & 0x0F
        if kind in (0x80, 0x90) and len(data) == 3:
            on = kind == 0x90 and data[2] > 0
            notes.setdefault((channel, data[1]), []).append((ms - shift, on, data[2] if on else 0))
        elif kind == 0xB0 and len(data) == 3 and data[1] == 64:
            pedals.setdefault(channel, []).append((ms - shift, data[2] >= 64))
    return notes, pedals


def matched(source, copy):
    """How many events of `source` are met in `copy` in the same place, the same kind and
    velocity, within the tolerance; and how many there are."""
    good = total = 0
    for key, events in source.items():
        other = copy.get(key, [])
        total += len(events)
        for i, event in enumerate(events):
            if i < len(other) and other[i][1:] == event[1:] and \
                    abs(other[i][0] - event[0]) <= TOLERANCE_MS + 1e-6:
                good += 1
    return good, total


def midi_round_trip(tez, files, clocks=None):
    work = tempfile.mkdtemp()
    totals = {"files": 0, "unreadable": 0, "notes": [0, 0], "pedal": [0, 0], "clean_faults": 0,
              "worst_ms": 0}
    for path in files:
        score = os.path.join(work, "s.tez")
        back = os.path.join(work, "s.mid")
        imported = run(tez, "import", path, "-o", score, "--format", "json")
        if imported.returncode == 2:
            totals["unreadable"] += 1
            continue
        totals["files"] += 1
        run(tez, "convert", score, "-o", back)
        clock = clocks.get(path) if clocks else None
        src_notes, src_pedals = streams(dump(tez, path, clock), 0)
        new_notes, new_pedals = streams(dump(tez, back), START_MS)
        # Each event the report names as not kept may spoil the order of one key.
        excused = 0
        for line in imported.stdout.decode().splitlines():
            loss = json.loads(line)
            if loss.get("kind") in UNPAIRED:
                excused += loss["count"]
        for name, source, copy in (("notes", src_notes, new_notes),
                                   ("pedal", src_pedals, new_pedals)):
            good, total = matched(source, copy)
            totals[name][0] += good
            totals[name][1] += total
            spoilt = sum(1 for key in set(source) | set(copy)
                         if matched({key: source.get(key, [])}, {key: copy.get(key, [])})[0] !=
                         max(len(source.get(key, [])), len(copy.get(key, []))))
            if spoilt > excused:
                totals["clean_faults"] += 1
                print(f"fault: {path}: {name} {good}/{total}, {spoilt} keys differ, "
                      f"{excused} events reported", file=sys.stderr)
        for key, events in src_notes.items():
            for a, b in zip(events, new_notes.get(key, [])):
                if a[1:] == b[1:]:
                    totals["worst_ms"] = max(totals["worst_ms"], abs(a[0] - b[0]))
    return totals


def records(text):
    """The records a score's text gives, the way the reader takes it (letters, then digits);
    a record that sends nothing gives its interval to the next one."""
    out, carried = [], 0
    for line in text.splitlines():
        fields, letter, value = {}, None, None
        for c in line + "\n":
            if c.isascii() and c.isdigit():
                value = (value or 0) * 10 + int(c)
            elif (c.isascii() and c.isalpha()) or c == "\n":
                if letter is not None and letter in "IKVLWM" and value is not None:
                    fields[letter] = value
                letter, value = c.upper(), None
        if not fields:
            continue
        record = {"I": 0, "K": -1, "V": 0, "L": 0, "W": 1, "M": 0}
        record.update(fields)
        if record["K"] < 0 and record["M"] == 0:
            carried += record["I"]
            continue
        record["I"] += carried
        carried = 0
        out.append(record)
    return out


def score_round_trip(tez, files):
    work = tempfile.mkdtemp()
    same = 0
    for path in files:
        back = os.path.join(work, "s.mid")
        run(tez, "convert", path, "-o", back)
        imported = run(tez, "import", back)
        with open(path) as f:
            wanted = records(f.read())
        if records(imported.stdout.decode()) == wanted:
            same += 1
        else:
            print(f"differs: {path}", file=sys.stderr)
    return same


def print_totals(what, t):
    print(f"{what}: {t['files']} files ({t['unreadable']} refused): "
          f"notes {t['notes'][0]}/{t['notes'][1]} ons and offs within {TOLERANCE_MS} ms, "
          f"pedal {t['pedal'][0]}/{t['pedal'][1]}, worst {t['worst_ms']:.2f} ms; "
          f"{t['clean_faults']} files with more keys differing than the report names")


def main():
    tez, mode, args = sys.argv[1], sys.argv[2], sys.argv[3:]
    if mode == "generate":
        # Files with a tempo map are named so, for the player's clock drifts across tempo
        # changes (it rebases in the millisecond a change falls due) and the exact time does not.
        for seed in range(int(args[1])):
            data = generated(seed)[0]
            kind = "tempo" if b"\xFF\x51" in data else "steady"
            with open(os.path.join(args[0], f"g{seed:03d}-{kind}.mid"), "wb") as f:
                f.write(data)
    elif mode == "exact":
        # Generated files against the exact times of their own tempo maps.
        work, clocks = tempfile.mkdtemp(), {}
        for seed in range(int(args[0])):
            path = os.path.join(work, f"g{seed:03d}.mid")
            data, clocks[path] = generated(seed)
            with open(path, "wb") as f:
                f.write(data)
        t = midi_round_trip(tez, sorted(clocks), clocks)
        print_totals("generated, against exact time", t)
        sys.exit(1 if t["clean_faults"] else 0)
    elif mode == "big":
        with open(args[1], "wb") as f:
            f.write(big(int(args[0])))
    elif mode == "midi":
        t = midi_round_trip(tez, args)
        print_totals("against tez dump", t)
        sys.exit(1 if t["clean_faults"] else 0)
    elif mode == "scores":
        same = score_round_trip(tez, args)
        print(f"import(convert(score)) equal to the score's records: {same}/{len(args)} scores")
        sys.exit(0 if same == len(args) else 1)


if __name__ == "__main__":
    main()
