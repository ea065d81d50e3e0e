#!/usr/bin/env bash
# How soon `tez play --watch` hears a save of a 60-line score, for each way editors save
# (in place, write then rename, Neovim, backup then rename then write, delete and recreate,
# `ln -sf`), played to a JACK MIDI monitor on a dummy server. Goal: median <= 50 ms for each.
# Usage: bench/playback/watch_styles.sh [build-dir] [rounds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
with_private_shm "$@"
tez=$(realpath "${1:-$here/../../build}")/bin/tez
export JACK_DEFAULT_SERVER="tez-bench-$$"
enter_scratch_folder
start_jack_monitor 300 monitor.txt
python3 "$here/watch_styles.py" "$tez" "$monitor_id" monitor.txt "${2:-10}"
