#!/usr/bin/env bash
# A JACK server with a MIDI monitor: `tez devices` lists its port and a score played to it
# arrives whole and in order, followed by the device reset; its clicks, due every 100 ms,
# arrive 4800 frames apart to within 5 frames (but for a callback run late on a starved
# machine). The progress shows every pass of a loop. A
# system exclusive message larger than a period's buffer is dropped and told once, and the
# note-off behind it and the reset still arrive; a server that goes away during a playback
# ends it with exit 1.
set -euo pipefail
tez=$(realpath "$1")
export JACK_DEFAULT_SERVER="tez-test-$$"
source "$(dirname "$0")/../support/services.sh"
with_private_shm "$@"
enter_scratch_folder

# The server lives until the test ends (a busy machine can take a minute over it).
start_jack_monitor 300 received.txt -a
# A monitor started while the last one is still leaving would be named midi-monitor-01.
stop_monitor() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
    wait_for 300 bash -c "! '$tez' devices | grep -q midi-monitor" ||
        { echo "the last JACK monitor did not leave"; exit 1; }
}
"$tez" devices
printf 'I0 K60 V100 L30\n' >tiny.tez
# The JSON list names the same ids; a name that fits two devices is refused with both.
"$tez" devices --format json | python3 -c 'import json, sys
devices = json.load(sys.stdin)
assert [d["id"] for d in devices] == list(range(-1, len(devices) - 1)), devices
assert {d["name"]: d["id"] for d in devices}["midi-monitor:input"] == int(sys.argv[1]), devices' "$monitor_id" ||
    { echo "devices --format json: $("$tez" devices --format json)"; exit 1; }
status=0 && "$tez" play tiny.tez --device I 2>ambiguous.err || status=$?
[ "$status" -eq 2 ] && grep -qx -- "--device: 'I' is part of more than one device's name; give more of it or the id:" ambiguous.err &&
    grep -qx "  $monitor_id midi-monitor:input" ambiguous.err || { echo "ambiguous name: exit $status, $(cat ambiguous.err)"; exit 1; }

printf 'I0 K60 V100 L60\nI60 K62 V90 L60\nI60 K64 V80 L60 M7\nI60 K128 V127 L30\n' >score.tez
for _ in $(seq 20); do echo 'I25 K76 V110 L10 W9'; done >>score.tez  # 25 ticks: 100 ms
# Played to the port named by a part of its name in another case, traced to standard output.
timeout 20 "$tez" play score.tez --device MIDI-Monitor:IN --trace - >stdout-trace.txt
grep -q '^# play called at' stdout-trace.txt && grep -qE '^[0-9]+ [0-9]+ 91 3C 64' stdout-trace.txt ||
    { echo "--trace -: $(head -3 stdout-trace.txt)"; exit 1; }
# A trace that cannot be written stops the play once the device is open.
timeout 20 "$tez" play score.tez --device "$monitor_id" --trace nodir/t.txt 2>trace.err &&
    { echo "an unwritable trace was accepted"; exit 1; }
grep -qx 'tez: cannot write nodir/t.txt: No such file or directory' trace.err ||
    { echo "unwritable trace: $(cat trace.err)"; exit 1; }
# On a terminal the progress counts every pass of a loop: 3 passes of 1 s.
script -qec "timeout 20 '$tez' play tiny.tez --loop 3 --device $monitor_id" /dev/null >progress.txt
grep -q ' / 0:03.0 ' progress.txt || { echo "progress: $(tr '\r' '\n' <progress.txt | tail -2)"; exit 1; }
# On a terminal 12 columns wide it takes 11 of them, never wrapping.
script -qec "stty cols 12; timeout 20 '$tez' play tiny.tez --device $monitor_id" /dev/null >narrow.txt
tr '\r' '\n' <narrow.txt | grep -q '^0:0' && tr '\r' '\n' <narrow.txt | awk 'length > 11 { exit 1 }' ||
    { echo "narrow progress: $(tr '\r' '\n' <narrow.txt | tail -3)"; exit 1; }
sleep 0.3
stop_monitor "${pids[1]}"

"$tez" dump score.tez | grep -v '^#' | cut -d' ' -f2- | tr 'A-F' 'a-f' >expected.txt
# jack_midi_dump: "  time: bytes description"; keep the bytes.
sed -E 's/^ *[0-9]+: //; s/ *(note|control|program|pitch|channel|poly|sysex|[a-z]+ [a-z]+ ?\().*$//' \
    received.txt | grep -E '^[0-9a-f]{2}( [0-9a-f]{2})*$' >got.txt || true
n=$(wc -l <expected.txt)
if ! head -n "$n" got.txt | cmp -s - expected.txt; then
    echo "received differs from what the player sends:"
    diff <(head -n "$n" got.txt) expected.txt || true
    exit 1
fi
# Then the reset: All Sound Off, All Notes Off, sustain off, Reset All Controllers on 16 channels.
resets=$(tail -n +"$((n + 1))" got.txt | head -n 64 | grep -cE '^b[0-9a-f] (78|7b|40|79) 00$' || true)
[ "$resets" -eq 64 ] || { echo "expected 64 reset messages, got $resets"; exit 1; }
# "  frame: 99 4c 6e note on ...": the clicks' frames, each 100 ms (4800 frames) after the last.
awk '$2 == "99" && $3 == "4c" { f = $1 + 0; if (n++) { d = f - p - 4800; print (d < 0 ? -d : d) } p = f }' \
    received.txt >offsets.txt
# A click whose callback a starved machine runs after its period lands a period late and
# spoils the two gaps around it; clicks put on period edges would spoil nearly every gap.
[ "$(wc -l <offsets.txt)" -eq 19 ] && awk '$1 > 5 { late++ } END { exit late > 4 }' offsets.txt ||
    { echo "clicks not 4800 +- 5 frames apart:"; tr '\n' ' ' <offsets.txt; exit 1; }
echo "jack: $n messages in order, then the reset; clicks to within 5 frames but" \
    "$(awk '$1 > 5' offsets.txt | wc -l) of 19 gaps"

# 40,000 bytes of system exclusive, then a note and its note-off.
python3 -c 'import sys
sysex = bytes([0xF0, 0x82, 0xB8, 0x40]) + bytes(39999) + bytes([0xF7])
body = b"\0" + sysex + bytes.fromhex("00 90 3C 64 3C 80 3C 00 00 FF 2F 00")
sys.stdout.buffer.write(b"MThd\0\0\0\6\0\0\0\1\0\x78MTrk" + len(body).to_bytes(4, "big") + body)' >big.mid
timeout 120 jack_midi_dump -a >big.txt 2>&1 &
pids+=($!)
wait_for 300 bash -c "'$tez' devices | grep -q midi-monitor:input" ||
    { echo "the JACK monitor's port did not come back"; exit 1; }
timeout 20 "$tez" play big.mid --device "$monitor_id" 2>big.err
sleep 0.3
grep -c 'too large' big.err | grep -qx 1 && grep -q ' 80 3c 00' big.txt &&
    [ "$(grep -cE ' b[0-9a-f] (78|7b|40|79) 00' big.txt)" -eq 64 ] ||
    { echo "oversized sysex: stderr $(cat big.err); received:"; cat big.txt; exit 1; }

# A stop signal during a whole-file play: a note-off for every note sounding, before the reset.
stop_monitor "${pids[-1]}"
printf 'I0 K60 V100 L2000\nI0 K64 V100 L2000 W2\n' >held.tez
timeout 120 jack_midi_dump -a >held.txt 2>&1 &
pids+=($!)
wait_for 300 bash -c "'$tez' devices | grep -q midi-monitor:input" ||
    { echo "the JACK monitor's port did not come back"; exit 1; }
timeout 20 "$tez" play held.tez --device "$monitor_id" 2>held.err &
player=$!
sleep 1.5 && kill -INT "$player"
status=0 && wait "$player" || status=$?
[ "$status" -eq 130 ] && grep -qx 'tez: stopped' held.err ||
    { echo "stopped by a signal: exit $status, $(cat held.err)"; exit 1; }
sleep 0.3
ons=$(awk '$2 ~ /^9/ && $4 != "00"' held.txt | wc -l)
offs=$(awk '$2 ~ /^8/ || ($2 ~ /^9/ && $4 == "00")' held.txt | wc -l)
[ "$ons" -eq 2 ] && [ "$offs" -eq 2 ] ||
    { echo "stopped by a signal: $ons note-ons, $offs note-offs"; cat held.txt; exit 1; }

# The server stopped while a score plays: what was sent until then replaces an earlier trace.
printf 'an earlier trace\n' >gone.txt
timeout 20 "$tez" play score.tez --device "$monitor_id" --trace gone.txt 2>gone.err &
sleep 1 && kill "${pids[0]}"
status=0 && wait $! || status=$?
[ "$status" -eq 1 ] && grep -q 'went away' gone.err ||
    { echo "server gone: exit $status, $(cat gone.err)"; exit 1; }
grep -q '^# play called at' gone.txt && grep -qE '^[0-9]+ [0-9]+ 91 3C 64' gone.txt ||
    { echo "server gone: the trace is not whole:"; cat gone.txt; exit 1; }
echo "jack: an oversized message dropped and told; a server gone ends tez play with exit 1"
