#!/usr/bin/env bash
# The built-in synthesizer: a one-note score (K69) played in real time into a PulseAudio null
# sink, and rendered to WAV, FLAC and Ogg Vorbis (to a file and through a pipe, at 48 and
# 22.05 kHz), holds a 440 Hz tone of the note's length; the same render gives the same bytes,
# a piped stream decodes to the file's samples; a render stopped or failing on a full disk
# leaves the old file; a playback whose sound server goes away ends with exit 1.
# Clicks due every 100 ms are heard, every one from the first, 100 ms apart to within 2 ms
# (three intervals in four: a shared VM's stalls starve the audio server now and then, which
# no player can hide).
set -euo pipefail
tez=$(realpath "$1")
mode=$2  # live, render or clicks
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/services.sh"
enter_scratch_folder

if [ "$mode" = clicks ]; then
    start_pulse_null_sink
    { echo 'I0 K76 V110 L10 W9'; for _ in $(seq 28); do echo 'I25 K76 V110 L10 W9'; done; } >clicks.tez
    heard() {
        TEZ_AUDIO_DRIVER=pulseaudio python3 "$here/../../bench/playback/click_timing.py" \
            nullsink.monitor 100 29 -- timeout 20 "$tez" play clicks.tez
    }
    even() { awk '{ exit !($2 == 29 && $4 == 0 && $16 <= 2.0) }' <<<"$1"; }
    line=$(heard) && even "$line" && { echo "clicks: $line"; exit 0; }
    echo "clicks: $line; retried once"
    line=$(heard) && even "$line" || { echo "clicks not evenly spaced: $line"; exit 1; }
    echo "clicks: $line"
    exit 0
fi

# I0 K69 L480 at the score's tempo (480000 us per quarter, 120 ticks): 1.92 s of A4.
printf 'I0 K69 V120 L480\n' >a4.tez
note_seconds=1.92

# The strongest frequency of the first channel of a WAV file, and how long it sounds above
# -60 dB.
peak_frequency() {
    sox "$1" -n remix 1 stat -freq 2>&1 | awk 'NF == 2 && $1 + 0 > 0 { if ($2 > m) { m = $2; f = $1 } } END { print f }'
}
sounding_seconds() {
    sox "$1" -n remix 1 silence 1 0.005 0.1% reverse silence 1 0.005 0.1% reverse stat 2>&1 |
        awk '/^Length/ { print $3 }'
}

if [ "$mode" = live ]; then
    start_pulse_null_sink
    # Stereo, like the rendered file, so both are measured on the same (left) channel: in a
    # mono mix the piano decays below the threshold before the note ends.
    # Raw samples: a WAV header is only finished when parecord closes cleanly, and one
    # interrupted at the wrong moment leaves a file that reads as empty.
    timeout 30 parecord --raw -d nullsink.monitor --rate=48000 --channels=2 --format=s16le \
        tone.raw &
    pids+=($!)
    # Recording only once parecord's stream is connected, or the note may be missed.
    wait_for 100 sh -c 'pactl list short source-outputs | grep -q .' ||
        { echo "parecord did not connect"; exit 1; }
    TEZ_AUDIO_DRIVER=pulseaudio timeout 20 "$tez" play a4.tez
    sleep 0.5
    kill -INT "${pids[1]}"
    wait "${pids[1]}" || true
    sox -t raw -r 48000 -e signed -b 16 -c 2 tone.raw tone.wav
    outputs=(tone.wav)
    # The sound server goes away mid-play: the playback ends and says so, not waiting forever.
    TEZ_AUDIO_DRIVER=pulseaudio timeout 30 "$tez" play a4.tez --loop 100 2>gone.txt &
    player=$!
    sleep 2
    kill "${pids[0]}"
    status=0
    wait "$player" || status=$?
    [ "$status" = 1 ] && grep -q "went away" gone.txt ||
        { echo "FAIL a server gone mid-play: exit $status, $(cat gone.txt)"; exit 1; }
else
    # output | render options | what must equal it afterwards
    renders=(
        "tone.wav||"
        "tone.flac||sox tone.wav -t raw - | sha256sum | cut -c1-64"  # the summary's hash
        "tone.ogg||sox tone.wav -n stat 2>&1 | grep Length"          # the length, exactly
        "pipe.flac|--format flac|flac -st pipe.flac && cmp <(sox pipe.flac -t raw -) <(sox tone.flac -t raw -)"
        "pipe.wav|--format wav|cmp pipe.wav tone.wav"
        "tone22.ogg|--rate 22050|echo 22050"
    )
    outputs=()
    for render in "${renders[@]}"; do
        IFS='|' read -r out options expect <<<"$render"
        # shellcheck disable=SC2086
        if [ "$out" = pipe.flac ]; then
            timeout 60 "$tez" render a4.tez -o - $options 2>summary | cat >"$out"
        else
            timeout 60 "$tez" render a4.tez -o "$out" $options >summary
            timeout 60 "$tez" render a4.tez -o "again.$out" $options >/dev/null
            cmp "$out" "again.$out" || { echo "$out: two renders differ"; exit 1; }
        fi
        case $expect in
            sox*sha256*) [ "$(awk '{ print $NF }' summary)" = "$(eval "$expect")" ] ;;
            sox*Length) [ "$(sox "$out" -n stat 2>&1 | grep Length)" = "$(eval "$expect")" ] ;;
            echo*) [ "$(soxi -r "$out")" = "$(eval "$expect")" ] ;;
            *) eval "$expect" ;;
        esac || { echo "$out: not as $expect"; cat summary; exit 1; }
        outputs+=("$out")
    done
    # A render that is stopped or passes the file-size limit leaves the old file as it was, and
    # nothing beside it, named directly or through a link from another folder (which stays).
    for i in $(seq 600); do echo "I120 K$((60 + i % 12)) V100 L120"; done >long.tez
    mkdir files && ln -s files/old.wav link.wav
    # how it stops | the output named | exit status
    stops=("TERM|files/old.wav|143" "INT|link.wav|130" "HUP|link.wav|129" "size|link.wav|1")
    for stop in "${stops[@]}"; do
        IFS='|' read -r how out expected <<<"$stop"
        printf old >files/old.wav
        if [ "$how" = size ]; then
            (ulimit -f 64 && exec "$tez" render long.tez -o "$out") >/dev/null 2>stopped.txt &&
                code=0 || code=$?
        else
            "$tez" render long.tez -o "$out" >/dev/null 2>stopped.txt &
            wait_for 100 compgen -G 'files/old.wav.*' && kill -"$how" $!
            wait $! && code=0 || code=$?
        fi
        [ "$code" = "$expected" ] && [ "$(cat files/old.wav)" = old ] &&
            [ "$(ls -A files)" = old.wav ] && [ "$(ls -A | grep -c '^link\.wav')" = 1 ] && test -L link.wav ||
            { echo "$how, $out: exit $code, $(ls -A . files), $(cat stopped.txt)"; exit 1; }
    done
    if [ "$(id -u)" != 0 ] || ! unshare -m true 2>/dev/null; then echo "skip full disk: not root"; else
        for format in wav flac ogg au raw; do
            unshare -m bash -c 'mkdir -p small && mount -t tmpfs -o size=16k tmpfs small &&
                printf old >small/full && "$0" render a4.tez -o small/full --format "$1" 2>&1;
                echo "exit $?, $(cat small/full), $(ls small | wc -l) file"' "$tez" "$format" >full.txt
            grep -qx "tez: cannot write small/full: No space left on device" full.txt &&
                grep -qx "exit 1, old, 1 file" full.txt || { echo "$format on a full disk:"; cat full.txt; exit 1; }
        done
        echo "full disk: every format fails, naming the reason, and leaves the old file"
    fi
fi

for out in "${outputs[@]}"; do
    frequency=$(peak_frequency "$out")
    seconds=$(sounding_seconds "$out")
    echo "$mode $out: peak at $frequency Hz, sounding $seconds s"
    # The analysis bins are 5.9 Hz wide; the piano's release adds to the note's length.
    awk -v f="$frequency" 'BEGIN { exit !(f > 425 && f < 455) }' ||
        { echo "no 440 Hz tone"; exit 1; }
    awk -v s="$seconds" -v n="$note_seconds" 'BEGIN { exit !(s > n - 0.1 && s < n + 1.5) }' ||
        { echo "the tone lasts $seconds s, not about $note_seconds s"; exit 1; }
done
