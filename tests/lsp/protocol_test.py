"""`tez lsp` driven over pipes by a scripted client, playing to a JACK MIDI monitor.

Usage: protocol_test.py TEZ DEVICE DUMP (DUMP: jack_midi_dump's record of the device)."""
import re
import sys
import time

from lsp_client import Client, PATIENCE

tez, device, dump = sys.argv[1], int(sys.argv[2]), sys.argv[3]
failed = False


def check(what, ok, detail=""):
    global failed
    print(("ok   " if ok else "FAIL ") + what + ("" if ok else ": " + str(detail)))
    failed |= not ok


def received():
    """The monitor's messages so far, each as its bytes in lower-case hex."""
    with open(dump) as record:
        return [m.group(1).strip() for m in
                (re.match(r"^\s*\d+: ((?:[0-9a-f]{2} )*[0-9a-f]{2})", line) for line in record) if m]


def wait_heard(condition):
    deadline = time.monotonic() + PATIENCE
    while time.monotonic() < deadline:
        if condition(received()):
            return True
        time.sleep(0.02)
    return False


def notes_balanced(messages):
    """No note is on at the end of the record, and none was switched on twice."""
    sounding = set()
    for message in messages:
        status, *data = message.split()
        kind, key = status[0], (status[1], data[0] if data else "")
        if kind == "9" and data[1] != "00":
            if key in sounding:
                return False
            sounding.add(key)
        elif kind in "89":
            sounding.discard(key)
    return not sounding


def position(line, character=0):
    return {"line": line, "character": character}


uri = "file:///song.tez"
melody = "".join("I60 K60 V100 L50\n" for _ in range(24))  # 24 notes, 240 ms apart
score = "I0 K60 V100 L120 M1\nI120 K200 V90 L60\n\nI120 K128 V127\nI 60 K 64 V100 L90 M2\n" + melody

client = Client(tez)
early = client.request("textDocument/hover", {"textDocument": {"uri": uri}, "position": position(0)})
check("a request before initialize is refused", early.get("error", {}).get("code") == -32002, early)
init = client.request("initialize", {"capabilities": {}, "initializationOptions": {"device": device}})
caps = init["result"]["capabilities"]
check("incremental sync offered", caps["textDocumentSync"]["change"] == 2, caps)
client.notify("initialized", {})

# Nonsense is answered by the protocol.
client.send_raw(b"Content-Length: 6\r\n\r\n{oops}")
check("malformed JSON: ParseError", client.take().get("error", {}).get("code") == -32700)
client.send_raw(b"Content-Type: x\r\n\r\n")
check("a header without Content-Length: ParseError", client.take().get("error", {}).get("code") == -32700)
client.notify("$/unknownNotification", {})
unknown = client.request("tez/noSuchMethod", {})
check("unknown request: MethodNotFound", unknown.get("error", {}).get("code") == -32601, unknown)
bad = client.request("textDocument/hover", {"position": 3})
check("bad params: InvalidParams", bad.get("error", {}).get("code") == -32602, bad)

client.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "tez", "version": 1, "text": score}})
diagnostics = client.wait_note("textDocument/publishDiagnostics", lambda p: p["version"] == 1)["diagnostics"]
check("the repair at its line and column",
      [(d["range"]["start"], d["message"]) for d in diagnostics] ==
      [(position(1, 6), "key 200 is out of range 0..127; written as 127")], diagnostics)
client.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 2}, "contentChanges": [
    {"range": {"start": position(1, 6), "end": position(1, 9)}, "text": "62"}]})
diagnostics = client.wait_note("textDocument/publishDiagnostics", lambda p: p["version"] == 2)["diagnostics"]
check("an incremental change that mends it clears it", diagnostics == [], diagnostics)

# Positions count UTF-16 code units: the clef is two of them and four bytes.
wide = "file:///wide.tez"
client.notify("textDocument/didOpen", {"textDocument": {"uri": wide, "languageId": "tez", "version": 1, "text": "\U0001D11E I120 K200 V90\n"}})
diagnostics = client.wait_note("textDocument/publishDiagnostics", lambda p: p["uri"] == wide)["diagnostics"]
check("a column after a wide character", [d["range"] for d in diagnostics] ==
      [{"start": position(0, 9), "end": position(0, 12)}], diagnostics)
client.notify("textDocument/didChange", {"textDocument": {"uri": wide, "version": 2}, "contentChanges": [
    {"range": {"start": position(0, 9), "end": position(0, 12)}, "text": "72"}]})
diagnostics = client.wait_note("textDocument/publishDiagnostics", lambda p: p["uri"] == wide)["diagnostics"]
check("an edit after a wide character", diagnostics == [], diagnostics)
client.notify("textDocument/didClose", {"textDocument": {"uri": wide}})

hovers = [  # line, what the hover says
    (0, ["**C4** (key 60)", "0:00.480", "bar 1, beat 1, tick 0", "channel 1", "(quarter)"]),
    (1, ["**D4** (key 62)", "0:00.960", "bar 1, beat 2, tick 0", "(eighth)"]),
    (3, ["**pedal down**", "bar 1, beat 3"]),
    (4, ["**E4** (key 64)", "marker 2", "0:01.680", "beat 3, tick 60", "(dotted eighth)"]),
]
for line, expected in hovers:
    answer = client.request("textDocument/hover", {"textDocument": {"uri": uri}, "position": position(line)})
    text = answer["result"]["contents"]["value"]
    check(f"hover on line {line + 1}", all(part in text for part in expected), text)
empty = client.request("textDocument/hover", {"textDocument": {"uri": uri}, "position": position(2)})
check("no hover on an empty line", empty["result"] is None, empty)

symbols = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})["result"]
check("markers as symbols", [(s["name"], s["range"]["start"]["line"]) for s in symbols] == [("M1", 0), ("M2", 4)], symbols)

formatted = client.request("textDocument/formatting", {"textDocument": {"uri": uri}, "options": {"tabSize": 4, "insertSpaces": True}})["result"]
lines = formatted[0]["newText"].split("\n")
check("formatting aligns the columns in one order",
      lines[:5] == ["     V100 K60  L120 M1", "I120 V90  K62  L60", "", "I120 V127 K128", "I60  V100 K64  L90  M2"], lines[:5])

# Play from line 6: the melody; then an edit of a line still to come is heard.
played = client.request("workspace/executeCommand", {"command": "tez.play", "arguments": [uri, 5]})
check("play from a line", "result" in played, played)
sounding = client.wait_note("tez/soundingLine", lambda p: p["line"] is not None and p["line"] >= 5)
check("the sounding line is told", sounding["uri"] == uri, sounding)
check("the melody is heard", wait_heard(lambda m: any(x.startswith("91 3c") for x in m)))
client.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 3}, "contentChanges": [
    {"range": {"start": position(27, 0), "end": position(28, 0)}, "text": "I60 K72 V100 L50\n"}]})
check("the edited note is heard while playing", wait_heard(lambda m: "91 48 64" in m))
for command in ("tez.tempoUp", "tez.keyUp", "tez.keyDown", "tez.pause", "tez.pause"):
    answer = client.request("workspace/executeCommand", {"command": command, "arguments": []})
    check(command, "result" in answer, answer)
stopped = client.request("workspace/executeCommand", {"command": "tez.stop", "arguments": []})
check("stop", "result" in stopped, stopped)
check("the sounding line is cleared", client.wait_note("tez/soundingLine", lambda p: p["line"] is None) is not None)
check("stop resets the device, no note left sounding",
      wait_heard(lambda m: m[-1:] == ["bf 79 00"] and notes_balanced(m)), received()[-5:])
past = client.request("workspace/executeCommand", {"command": "tez.play", "arguments": [uri, 400]})
check("play past the last line is refused", past.get("error", {}).get("code") == -32803, past)

# A score of a million lines, changed while its first conversion runs: the change wins.
big = "file:///big.tez"
client.notify("textDocument/didOpen", {"textDocument": {"uri": big, "languageId": "tez", "version": 1,
                                                        "text": "I6 K60 V100 L5\n" * 999_999 + "I6 K200 V100 L5\n"}})
client.notify("textDocument/didChange", {"textDocument": {"uri": big, "version": 2}, "contentChanges": [
    {"range": {"start": position(999_999, 4), "end": position(999_999, 7)}, "text": "62"}]})
last = client.request("textDocument/hover", {"textDocument": {"uri": big}, "position": position(999_999)})
check("a million lines: hover answers from the newest text", "**D4**" in last["result"]["contents"]["value"], last)
published = client.wait_note("textDocument/publishDiagnostics", lambda p: p["uri"] == big and p["version"] == 2)
check("a million lines: the change's diagnostics", published["diagnostics"] == [], published["diagnostics"][:3])

check("shutdown", client.request("shutdown")["result"] is None)
client.notify("exit", {})
check("exit after shutdown: status 0", client.process.wait(timeout=PATIENCE) == 0)

# A client that leaves while the music plays, without shutdown. Its device is named on the
# command line, by a part of its name in another case; a name in the settings that fits no
# device is shown to the user and leaves the device as it was.
heard = len(received())
client = Client(tez, args=["--device", "MIDI-Monitor"])
client.request("initialize", {"capabilities": {}, "initializationOptions": {"tez": {"device": "no such port"}}})
shown = client.wait_note("window/showMessage")
check("a device name that fits none is shown", shown["type"] == 1 and
      shown["message"].startswith("tez: device: no device is named 'no such port'; the devices are:"), shown)
client.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "tez", "version": 1, "text": melody}})
client.request("workspace/executeCommand", {"command": "tez.loop", "arguments": [uri, 0, 3]})
check("a loop is heard", wait_heard(lambda m: len(m) > heard + 4))
status = client.finish()
check("input closed without shutdown: status 1", status == 1, status)
check("and every note is off", wait_heard(lambda m: m[-1:] == ["bf 79 00"] and notes_balanced(m[heard:])), received()[-5:])
sys.exit(1 if failed else 0)
