#!/usr/bin/env bash
# `tez dump` with the range options: the messages and callbacks of parts of a score and of a
# MIDI file; the command line's refusals (a message naming the problem, nothing played,
# dumped or written).
set -uo pipefail
tez=$(realpath "$1")
source "$(dirname "$0")/../support/services.sh"
enter_scratch_folder
failed=0
printf 'I0 K60 V100 L240\n\nI120 K64 V90 L120 M7\nI0 K128 V127\nI240 W2\nI0 K62 V1 L0\n' >s.tez
"$tez" convert s.tez -o s.mid >/dev/null
printf 'no notes\n' >empty.tez

# Each case: the arguments, then the expected dump after its first line, "|" between lines.
while IFS=';' read -r args expected; do
    # shellcheck disable=SC2086
    got=$("$tez" dump $args | tail -n +2 | paste -sd'|')
    if [ "$got" = "$expected" ]; then echo "ok   $args"; else
        echo "FAIL $args"; echo "  got      $got"; echo "  expected $expected"; failed=1; fi
done <<'CASES'
s.tez --lines;0 F0 7E 7F 09 01 F7|480 91 3C 64 # line 1|960 91 40 5A # line 3|960 B1 40 7F # line 4|1440 81 40 00 # line 3|1440 81 3C 00 # line 1|1920 91 3E 01 # line 6|1920 81 3E 00 # line 6|# end 2320
s.tez --from line:2 --lines;0 F0 7E 7F 09 01 F7|0 91 40 5A # line 3|0 B1 40 7F # line 4|480 81 40 00 # line 3|960 91 3E 01 # line 6|960 81 3E 00 # line 6|1360 B1 40 00|# end 1360
s.tez --from marker:7 --to 1.5 --loop 2;0 F0 7E 7F 09 01 F7|0 91 40 5A|0 B1 40 7F|480 81 40 00|540 B1 40 00|540 91 40 5A|540 B1 40 7F|1020 81 40 00|1080 B1 40 00|# end 1080
s.tez --tempo 2 --transpose 12;0 F0 7E 7F 09 01 F7|240 91 48 64|480 91 4C 5A|480 B1 40 7F|720 81 4C 00|720 81 48 00|960 91 4A 01|960 81 4A 00|1160 B1 40 00|# end 1160
s.tez --tempo 02.0 --transpose +012;0 F0 7E 7F 09 01 F7|240 91 48 64|480 91 4C 5A|480 B1 40 7F|720 81 4C 00|720 81 48 00|960 91 4A 01|960 81 4A 00|1160 B1 40 00|# end 1160
--from marker:7 --loop 02 s.tez --to 1.5;0 F0 7E 7F 09 01 F7|0 91 40 5A|0 B1 40 7F|480 81 40 00|540 B1 40 00|540 91 40 5A|540 B1 40 7F|1020 81 40 00|1080 B1 40 00|# end 1080
s.tez --solo 0,2;0 F0 7E 7F 09 01 F7|960 B1 40 7F|2320 B1 40 00|# end 2320
s.mid --from marker:7 --lines --mute 1;0 F0 7E 7F 09 01 F7|0 B1 40 7F # track 1 tick 240|1360 B1 40 00|# end 1360
s.mid --from 0:01.92 --transpose -24;0 F0 7E 7F 09 01 F7|0 B1 40 7F|0 91 26 01|0 81 26 00|400 B1 40 00|# end 400
CASES

# The refusals: arguments, exit status, the line the message must be (and no library's own).
# Numbers are decimal whatever their leading zeros; an empty value is refused by name.
# A trace named by a refused play stays as it was.
printf 'an earlier trace\n' >old.txt
# The synthesizer may only try a JACK server, and none runs under this name.
export TEZ_AUDIO_DRIVER=jack JACK_DEFAULT_SERVER="tez-none-$$" TEZ_SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
while IFS=';' read -r args status message; do
    out=$(eval "timeout 20 \"\$tez\" $args" 2>err.txt </dev/null)
    code=$?
    if [ "$code" -eq "$status" ] && [ -z "$out" ] && grep -qxF -- "$message" err.txt &&
        ! grep -q CRITICAL err.txt; then echo "ok   $args"; else
        echo "FAIL $args: exit $code, $(cat err.txt)"; failed=1; fi
done <<'CASES'
dump s.tez --from line:9;2;--from: line 9 is past the last note line of s.tez
dump s.tez --from marker:8;2;--from: there is no marker 8 in s.tez
dump s.tez --from 2 --to 1;2;--to: 1 (tick 250) is not after --from (tick 500)
dump s.tez --to soon;2;--to: cannot read the position 'soon'; use line:N, marker:M, seconds (83.5) or minutes:seconds (1:23.5)
dump s.tez --from 9.5;2;--from: 9.5 is past the end of the music
dump s.tez --loop;2;--loop: give the number of times to play the range; this command must end
dump s.tez --tempo 5;2;--tempo: 5 is outside 0.25-4.0
dump s.tez --transpose -25;2;--transpose: -25 is outside -24..24
dump s.tez --mute 3,16;2;--mute: '16' is not a channel 0-15
dump s.mid --from line:3;2;--from: line positions need a score; s.mid is a MIDI file
dump s.tez --from '';2;--from: the value is empty
dump s.tez --mute 1,2,;2;--mute: an empty item in '1,2,'; name the channels 0-15, separated by commas
dump s.tez --transpose -2147483648;2;--transpose: -2147483648 is outside -24..24
dump s.tez --transpose 99999999999;2;--transpose: 99999999999 is outside -24..24
dump s.tez --transpose '';2;--transpose: the value is empty
dump s.tez --tempo 0.2499999;2;--tempo: 0.2499999 is outside 0.25-4.0
dump s.tez --tempo 0x1p-1;2;--tempo: '0x1p-1' is not a number
dump s.tez --loop '';2;--loop: the value is empty
dump s.tez --loop=;2;--loop: the value is empty
dump s.tez --loop 0;2;--loop: COUNT must be a whole number of 1 or more, not '0'
render s.tez -o x.wav --rate 0100000;2;--rate: 0100000 Hz is outside 22050-96000
render s.tez -o x.wav --soundfont '';2;--soundfont: the value is empty
convert s.tez -o '';2;--output: the value is empty
;2;tez: converts letter-and-number scores to Standard MIDI Files and plays them
render s.tez -o x.wav --rate 44100.5;2;--rate: 44100.5 is not a whole number of Hz
roll s.tez -o x.svg --width 0;2;--width: 0 pixels is outside 200-100000
bogus s.tez;2;tez: unknown command 'bogus'; try 'tez --help'
check --format 1 s.tez;2;--format: 1 not in {text,json}
dump empty.tez;1;tez: empty.tez: no notes (no tezdata.)
play s.tez --from line:9 --trace old.txt;2;--from: line 9 is past the last note line of s.tez
play missing.tez --trace old.txt;1;tez: cannot open missing.tez: No such file or directory
play s.tez --trace old.txt;1;tez: cannot open device -1 (FluidSynth (TimGM6mb)): no audio server reachable (tried jack)
play s.tez --device 99 --trace old.txt;1;tez: cannot open device 99: there is no such device; `tez devices` lists them
play --loop s.tez --from line:9 --trace old.txt;2;--from: line 9 is past the last note line of s.tez
play s.tez --device nosuch --trace old.txt;2;--device: no device is named 'nosuch'; the devices are:
play s.tez -d '' --trace old.txt;2;--device: the value is empty
play s.tez --trace '';2;--trace: the value is empty
lsp --device nosuch;2;--device: no device is named 'nosuch'; the devices are:
render s.tez -o x.wav --soundfont s.tez;1;tez: cannot load soundfont s.tez: not a SoundFont
CASES
[ ! -e tez_p.smf ] && [ ! -e x.wav ] && [ ! -e x.svg ] && [ "$(cat old.txt)" = "an earlier trace" ] &&
    [ "$(ls old.txt*)" = old.txt ] || { echo "FAIL a refused command wrote a file"; failed=1; }
exit $failed
