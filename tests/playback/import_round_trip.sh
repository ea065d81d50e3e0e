#!/usr/bin/env bash
# tez import, then tez convert, sends what the source sends: generated files (format 0 and 1,
# divisions 24 to 960, time code, tempo maps, chords, pedal, same-key overlaps) against their
# exact times, the corpus against tez dump, and the example scores come back as their records.
set -euo pipefail
tez=$1
here=$(cd "$(dirname "$0")" && pwd)
round_trip=$here/../../bench/import/round_trip.py
python3 "$round_trip" "$tez" exact 60
python3 "$round_trip" "$tez" midi "$here"/corpus/*.mid
python3 "$round_trip" "$tez" scores "$here"/../../examples/*.tez
