#!/usr/bin/env bash
# Live changes in the window: a followed save heard (60 and 1,000,000 lines), and 20 F8
# presses 40 ms apart on a dense score (a note every 60 ms) played to a JACK monitor on a
# dummy server: the longest hole between notes, the notes sent twice, and the window's
# longest unanswered time. Usage: live_change.sh <build-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
with_private_shm "$@"
build=$(realpath "$1")
bench=$build/bin/live_change
tez=$build/bin/tez
if [ ! -x "$bench" ]; then
    echo "skipped: $bench is not built (the window is built with TEZ_BUILD_APP=ON)"
    exit 0
fi
for lines in ${LIVE_CHANGE_SAVES-60 1000000}; do
    "$bench" save "$lines" 2>/dev/null
done
export JACK_DEFAULT_SERVER="tez-bench-$$"
enter_scratch_folder
start_jack_monitor 60 received.txt -a
"$bench" presses "$monitor_id" 2>/dev/null
sleep 0.3

# Note-ons (frame, key): the longest gap between two, and a key sent again right after
# itself (the score never repeats a key on the next line).
awk '$2 ~ /^9/ && $4 != "00" { f = $1 + 0; if (n++) { gap = f - p; if (gap > max) max = gap
         if ($3 == key) twice++ } p = f; key = $3 }
     END { printf "at the JACK monitor: %d notes; longest hole %.1f ms (a note every 60 ms at first, a JACK period 5.3 ms); notes sent twice: %d\n",
                  n, max / 48, twice + 0 }' received.txt
