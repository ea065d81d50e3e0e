#!/usr/bin/env bash
# The language server over pipes with a scripted client (protocol_test.py), playing to the
# monitor port of a private JACK server.
set -euo pipefail
tez=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
export JACK_DEFAULT_SERVER="tez-lsp-$$"
source "$here/../support/services.sh"
with_private_shm "$@"
enter_scratch_folder
start_jack_monitor 90 dump.txt
python3 "$here/protocol_test.py" "$tez" "$monitor_id" "$work/dump.txt"
