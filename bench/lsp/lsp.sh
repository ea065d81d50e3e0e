#!/usr/bin/env bash
# `tez lsp`: change to diagnostics, change to the new version heard on a JACK monitor, memory
# of a 1,000,000-line score (lsp_bench.py). Usage: bench/lsp/lsp.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
with_private_shm "$@"
tez=$(realpath "${1:-$here/../../build}")/bin/tez
export JACK_DEFAULT_SERVER="tez-lsp-bench-$$"
enter_scratch_folder
start_jack_monitor 300 received.txt
python3 "$here/lsp_bench.py" "$tez" "$monitor_id" "$work/received.txt"
