#!/usr/bin/env python3
"""How soon each style of save is heard by `tez play --watch`: from the moment a save is
complete to the moment the JACK monitor (jack_midi_dump, writing to MONITOR_FILE) prints the
first note-on of the new version. The score has 60 lines, one note every 12 ms, and the
loop is of its lines only (`--from line:1 --to line:60`), without the written file's silent
first beat and end: the new version's next note is never more than 12 ms away.
Usage: watch_styles.py TEZ DEVICE_ID MONITOR_FILE [ROUNDS]"""
import os
import re
import statistics
import subprocess
import sys
import threading
import time

LINES = 60
NOTE_ON = re.compile(r"^\s*\d+: 9[0-9a-f] ([0-9a-f]{2}) ([0-9a-f]{2})")


def score(key):
    return "".join(f"I3 K{key} V100 L2\n" for _ in range(LINES))


def write(path, text):
    with open(path, "w") as out:
        out.write(text)


def in_place(path, text):
    write(path, text)


def write_then_rename(path, text):
    write(path + ".new", text)
    os.rename(path + ".new", path)


def editor(path, text):
    """Neovim's own save: the old file renamed to a backup, the new one written, the backup
    removed. The time counts from the end of the editor's process."""
    write("next.txt", text)
    # (Ex mode, -es, would drop the last line read.)
    subprocess.run(["nvim", "--headless", "-u", "NONE", "-i", "NONE", "+%d", "+r next.txt",
                    "+1d", "+wq", path], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def backup_rename_write(path, text):
    os.rename(path, path + "~")
    write(path, text)
    os.unlink(path + "~")


def delete_and_recreate(path, text):
    os.unlink(path)
    write(path, text)


def link_elsewhere(path, text):
    other = f"version{len(os.listdir('.'))}.tez"
    write(other, text)
    subprocess.run(["ln", "-sf", other, path], check=True)


STYLES = [("in place", in_place), ("write then rename", write_then_rename),
          ("nvim", editor), ("backup, rename, write", backup_rename_write),
          ("delete and recreate", delete_and_recreate), ("ln -sf", link_elsewhere)]


class Monitor:
    """Each note-on the monitor prints, with the monotonic time it was printed."""

    def __init__(self, path):
        self.notes = []  # (ns, key)
        self.lock = threading.Lock()
        self.done = False
        self.thread = threading.Thread(target=self.follow, args=(path,), daemon=True)
        self.thread.start()

    def follow(self, path):
        with open(path) as dump:
            pending = ""
            while not self.done:
                chunk = dump.read()
                if not chunk:
                    time.sleep(0.0005)
                    continue
                now = time.monotonic_ns()
                pending += chunk
                *lines, pending = pending.split("\n")
                for line in lines:
                    match = NOTE_ON.match(line)
                    if match and match.group(2) != "00":
                        with self.lock:
                            self.notes.append((now, int(match.group(1), 16)))

    def first(self, key, after, limit_s=3.0):
        """When `key` was first printed after `after`; None within the limit."""
        deadline = time.monotonic() + limit_s
        while time.monotonic() < deadline:
            with self.lock:
                found = [t for t, k in self.notes if k == key and t >= after]
            if found:
                return min(found)
            time.sleep(0.002)
        return None


def main():
    tez, device, dump = sys.argv[1], sys.argv[2], sys.argv[3]
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 10
    monitor = Monitor(dump)
    path = "score.tez"
    write(path, score(40))
    player = subprocess.Popen([tez, "play", path, "--device", device, "--loop", "--watch",
                               "--from", "line:1", "--to", f"line:{LINES}"],
                              stderr=subprocess.DEVNULL)
    if monitor.first(40, 0, 10.0) is None:
        sys.exit("the monitor hears nothing from tez play")
    key = 41
    for name, save in STYLES:
        delays = []
        for _ in range(rounds):
            time.sleep(0.15)
            key = 41 if key >= 100 else key + 1
            save(path, score(key))
            saved = time.monotonic_ns()
            heard = monitor.first(key, saved)
            if heard is not None:
                delays.append((heard - saved) / 1e6)
        if delays:
            print(f"watch 60 lines, {name}: save to first note on the JACK monitor median "
                  f"{statistics.median(delays):.1f} ms, max {max(delays):.1f} ms "
                  f"({len(delays)} of {rounds} saves heard; goal median <= 50 ms)")
        else:
            print(f"watch 60 lines, {name}: none of {rounds} saves heard")
    player.terminate()
    player.wait(timeout=10)
    monitor.done = True


main()
