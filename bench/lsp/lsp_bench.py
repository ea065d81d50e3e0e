#!/usr/bin/env python3
"""`tez lsp` figures: a change to its diagnostics published (60, 10,000 and 1,000,000 lines),
a change to the new version heard on a JACK monitor, and the memory of a 1,000,000-line score.
Usage: lsp_bench.py TEZ DEVICE DUMP"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../../tests/lsp"))
from lsp_client import Client  # noqa: E402

tez, device, dump = sys.argv[1], int(sys.argv[2]), sys.argv[3]
EDITS = 40


def score(lines, key=60):
    return "".join(f"I6 K{key} V100 L5\n" for _ in range(lines))


def opened(lines, uri):
    client = Client(tez)
    client.request("initialize", {"capabilities": {}, "initializationOptions": {"device": device}})
    client.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "tez", "version": 1, "text": score(lines)}})
    start = time.perf_counter()
    client.wait_note("textDocument/publishDiagnostics", lambda p: p["version"] == 1)
    return client, time.perf_counter() - start


def diagnostics_figures(lines, edits=EDITS):
    uri = f"file:///bench{lines}.tez"
    client, first = opened(lines, uri)
    times = []
    text_key = 60
    for version in range(2, edits + 2):
        key = 200 if text_key == 60 else 60
        start = time.perf_counter()
        client.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version}, "contentChanges": [
            {"range": {"start": {"line": lines // 2, "character": 4}, "end": {"line": lines // 2, "character": 4 + len(str(text_key))}},
             "text": str(key)}]})
        published = client.wait_note("textDocument/publishDiagnostics", lambda p, v=version: p["version"] == v)
        times.append((time.perf_counter() - start) * 1000)
        if len(published["diagnostics"]) != (1 if key == 200 else 0):
            raise SystemExit(f"unexpected diagnostics at version {version}")
        text_key = key
    status = open(f"/proc/{client.process.pid}/status").read()
    memory = {k: int(v.split()[0]) // 1024 for k, v in (l.split(":", 1) for l in status.splitlines()) if k in ("VmHWM", "VmRSS")}
    client.request("shutdown")
    client.notify("exit", {})
    client.process.wait()
    return first * 1000, times, memory


def heard_figures(lines, edits=20):
    """Play a score of notes 24 ms apart on key 60; each edit turns the whole text into another
    key, and the first note of that key at the monitor is the new version heard."""
    uri = f"file:///heard{lines}.tez"
    client, _ = opened(lines, uri)
    # The loop ends at the last line's onset: looped to the end of the file, it would also
    # hold the file's silent end, and an edit there would wait for the music's own next note.
    client.request("workspace/executeCommand", {"command": "tez.loop", "arguments": [uri, 0, lines - 2]})
    times = []
    keys = [62, 64, 65, 67, 69]
    for version in range(2, edits + 2):
        key = keys[version % len(keys)]
        with open(dump) as record:
            record.seek(0, 2)
            start = time.perf_counter()
            client.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version},
                                                     "contentChanges": [{"text": score(lines, key)}]})
            wanted = f"91 {key:02x} 64"
            seen = ""
            while wanted not in seen:
                if time.perf_counter() - start > 10:
                    raise SystemExit("the new version was not heard")
                seen += record.read()
                time.sleep(0.0005)
        times.append((time.perf_counter() - start) * 1000)
        time.sleep(0.1)
    client.request("shutdown")
    client.notify("exit", {})
    client.process.wait()
    return times


def line(what, times):
    times = sorted(times)
    print(f"lsp: {what}: median {statistics.median(times):.1f} ms, max {times[-1]:.1f} ms over {len(times)}")


for lines in (60, 10_000):
    _, times, _ = diagnostics_figures(lines)
    line(f"change to diagnostics, {lines} lines", times)
first, times, memory = diagnostics_figures(1_000_000, edits=4)
print(f"lsp: 1,000,000 lines: opened to diagnostics {first:.0f} ms; memory peak {memory['VmHWM']} MB, "
      f"resident after {len(times)} edits {memory['VmRSS']} MB")
line("change to diagnostics, 1,000,000 lines", times)
start = time.perf_counter()
subprocess.run([tez, "check", "/dev/stdin"], input=score(10_000).encode(), stdout=subprocess.DEVNULL)
print(f"lsp: baseline `tez check` of 10,000 lines, process included: {(time.perf_counter() - start) * 1000:.1f} ms")
for lines in (60, 10_000):
    line(f"change to new version heard, {lines} lines", heard_figures(lines))
